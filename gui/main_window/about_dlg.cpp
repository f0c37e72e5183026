#include "gui/main_window/about_dlg.h"

#include "gui/resources/string_ids.h"

#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(m_controls.Build(this, Ids::DialogAbout));
    setFixedSize(size());
    connect(m_controls.Item<QPushButton>(1), &QPushButton::clicked, this, &QDialog::accept);
}
