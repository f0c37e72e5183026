#pragma once

#include "gui/widgets/dialog_template.h"

#include <QWidget>

// A child dialog page built from a dialog template; its controls are found
// by their template IDs.
class CTemplatePage : public QWidget {
    Q_OBJECT
public:
    CTemplatePage(int templateId, QWidget* parent);

    QWidget* GetDlgItem(int id) const { return m_controls.GetDlgItem(id); }
    template <typename T>
    T* Item(int id) const { return m_controls.Item<T>(id); }

private:
    CTemplateControls m_controls;
};
