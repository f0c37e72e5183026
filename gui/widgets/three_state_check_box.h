#pragma once

#include <QCheckBox>

// A three-state check box whose clicks advance unchecked -> checked ->
// indeterminate -> unchecked, as the templates' three-state boxes do (Qt's
// own order puts indeterminate second).
class CThreeStateCheckBox final : public QCheckBox {
    Q_OBJECT
public:
    CThreeStateCheckBox(const QString& text, QWidget* parent);

protected:
    void nextCheckState() override;
};
