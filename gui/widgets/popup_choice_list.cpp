#include "gui/widgets/popup_choice_list.h"

#include <QComboBox>
#include <QKeyEvent>

namespace {

class CPopupChoiceFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::Wheel)
            return true;
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_F4:
        case Qt::Key_Space:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Escape: return false;
        case Qt::Key_Up:
        case Qt::Key_Down: return !(key->modifiers() & Qt::AltModifier);
        default: return true;
        }
    }
};

} // namespace

void MakePopupChoiceOnly(QComboBox* list)
{
    list->installEventFilter(new CPopupChoiceFilter(list));
}
