#pragma once

#include "gui/widgets/dialog_template.h"

#include <QDialog>

// The about box (template 140); its OK button closes it.
class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

private:
    CTemplateControls m_controls;
};
