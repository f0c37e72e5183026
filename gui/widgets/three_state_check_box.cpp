#include "gui/widgets/three_state_check_box.h"

CThreeStateCheckBox::CThreeStateCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent)
{
    setTristate(true);
}

void CThreeStateCheckBox::nextCheckState()
{
    switch (checkState()) {
    case Qt::Unchecked: setCheckState(Qt::Checked); break;
    case Qt::Checked: setCheckState(Qt::PartiallyChecked); break;
    case Qt::PartiallyChecked: setCheckState(Qt::Unchecked); break;
    }
}
