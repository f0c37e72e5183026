#include "gui/main_window/selection_only_list.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

class CSelectionOnlyFilter final : public QObject {
public:
    explicit CSelectionOnlyFilter(QComboBox* list) : QObject(list), m_pList(list) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_pList)
            return event->type() == QEvent::Wheel;
        switch (event->type()) {
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                ChooseTypedItem();
                return true;
            }
            if (key == Qt::Key_Escape)
                ShowChosenItem();
            return false;
        }
        case QEvent::FocusOut:
            ShowChosenItem();
            return false;
        default:
            return false;
        }
    }

private:
    void ChooseTypedItem()
    {
        const int index = m_pList->findText(m_pList->lineEdit()->text(), Qt::MatchExactly);
        if (index < 0) {
            ShowChosenItem();
            return;
        }
        m_pList->setCurrentIndex(index);
        ShowChosenItem();
        emit m_pList->activated(index);
    }

    void ShowChosenItem() { m_pList->lineEdit()->setText(m_pList->itemText(m_pList->currentIndex())); }

    QComboBox* m_pList;
};

} // namespace

void MakeSelectionOnly(QComboBox* list)
{
    list->setInsertPolicy(QComboBox::NoInsert);
    auto* filter = new CSelectionOnlyFilter(list);
    list->installEventFilter(filter);
    if (list->lineEdit())
        list->lineEdit()->installEventFilter(filter);
}
