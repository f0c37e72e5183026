#pragma once

#include "ui/template_page.h"

// The OSD page (template 144): the camera's on-screen menu keys, its video
// format and its OSD language.
class CDlgOSD final : public CTemplatePage {
    Q_OBJECT
public:
    explicit CDlgOSD(QWidget* parent = nullptr);

    int LoadFromRegisterImage();
    int SaveToDevice();
};
