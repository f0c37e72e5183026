#include "gui/widgets/cool_tab_accessible.h"

#include "gui/widgets/cool_tab_ctrl.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

class CCoolTabAccessibleTab final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    CCoolTabAccessibleTab(CCoolTabCtrl* control, int index) : m_pControl(control), m_nIndex(index) {}

    int Index() const { return m_nIndex; }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QObject* object() const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    bool isValid() const override { return m_pControl && m_nIndex < m_pControl->TabCount(); }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.selected = m_pControl->CurSel() == m_nIndex;
        state.invisible = !m_pControl->isVisible();
        return state;
    }

    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const QRect local = m_pControl->Item(m_nIndex).rcTab.ToQRect();
        return QRect(m_pControl->mapToGlobal(local.topLeft()), local.size());
    }

    QString text(QAccessible::Text type) const override
    {
        return isValid() && type == QAccessible::Name ? m_pControl->Item(m_nIndex).strCaption.trimmed() : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}

    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_pControl.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& actionName) override
    {
        if (isValid() && actionName == pressAction())
            m_pControl->SelectTab(m_nIndex);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<CCoolTabCtrl> m_pControl;
    int m_nIndex;
};

class CCoolTabAccessible final : public QAccessibleWidget {
public:
    explicit CCoolTabAccessible(CCoolTabCtrl* control) : QAccessibleWidget(control, QAccessible::PageTabList) {}

    ~CCoolTabAccessible() override
    {
        for (const QAccessible::Id id : std::as_const(m_tabs))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return Control()->TabCount() + QAccessibleWidget::childCount(); }

    QAccessibleInterface* child(int index) const override
    {
        const int tabs = Control()->TabCount();
        if (index < 0)
            return nullptr;
        if (index >= tabs)
            return QAccessibleWidget::child(index - tabs);
        if (const QAccessible::Id id = m_tabs.value(index))
            return QAccessible::accessibleInterface(id);
        auto* tab = new CCoolTabAccessibleTab(Control(), index);
        m_tabs.insert(index, QAccessible::registerAccessibleInterface(tab));
        return tab;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (child && child->role() == QAccessible::PageTab && child->parent() == this)
            return static_cast<const CCoolTabAccessibleTab*>(child)->Index();
        const int page = QAccessibleWidget::indexOfChild(child);
        return page < 0 ? -1 : page + Control()->TabCount();
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint local = Control()->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < Control()->TabCount(); ++i) {
            if (Control()->Item(i).rcTab.Contains(local))
                return child(i);
        }
        return QAccessibleWidget::childAt(x, y);
    }

private:
    CCoolTabCtrl* Control() const { return static_cast<CCoolTabCtrl*>(widget()); }

    mutable QHash<int, QAccessible::Id> m_tabs;
};

QAccessibleInterface* CreateCoolTabAccessible(const QString& className, QObject* object)
{
    if (className == u"CCoolTabCtrl"_s && object && object->isWidgetType())
        return new CCoolTabAccessible(static_cast<CCoolTabCtrl*>(object));
    return nullptr;
}

} // namespace

void InstallCoolTabAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(CreateCoolTabAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

void NotifyCoolTabSelected(CCoolTabCtrl* control, int index)
{
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(control);
    if (!list || index >= list->childCount())
        return;
    QAccessibleEvent event(list->child(index), QAccessible::Selection);
    QAccessible::updateAccessibility(&event);
}
