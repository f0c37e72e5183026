#include "gui/pages/osd/menu_keys.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTextEdit>

namespace {

// Widgets that use the arrow keys and Enter themselves.
bool TakesKeys(const QObject* widget)
{
    return qobject_cast<const QComboBox*>(widget) || qobject_cast<const QLineEdit*>(widget)
        || qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QTextEdit*>(widget)
        || qobject_cast<const QAbstractItemView*>(widget);
}

} // namespace

CMenuKeyFilter::CMenuKeyFilter(QWidget* page, std::function<void(int key)> onMenuKey)
    : QObject(page), m_pPage(page), m_onMenuKey(std::move(onMenuKey))
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

bool CMenuKeyFilter::IsMenuKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Return:
    case Qt::Key_Enter: return true;
    default: return false;
    }
}

bool CMenuKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !m_pPage->isVisible() || !m_pPage->isEnabled())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!IsMenuKey(key->key()) || modifiers != Qt::NoModifier || !widget || widget->window() != m_pPage->window()
        || TakesKeys(widget))
        return false;
    m_onMenuKey(key->key());
    return true;
}
