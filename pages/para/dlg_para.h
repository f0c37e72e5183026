#pragma once

#include "ui/template_page.h"

// The image-parameter page (template 143): colour, exposure, versions and
// other image settings of the camera.
class CDlgPara final : public CTemplatePage {
    Q_OBJECT
public:
    explicit CDlgPara(QWidget* parent = nullptr);

    // Fills the controls from RegisterImage after every read cycle.
    int LoadFromRegisterImage();
    // Writes the page's settings to the camera (the main dialog's save).
    int SaveToDevice();
};
