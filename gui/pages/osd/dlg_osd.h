#pragma once

#include "gui/widgets/template_page.h"

class CPageHost;

// The OSD page (template 144): the camera's on-screen menu keys, its video
// format and its OSD language.
class CDlgOSD final : public CTemplatePage {
    Q_OBJECT
public:
    explicit CDlgOSD(CPageHost& host, QWidget* parent = nullptr);

    // Fills the controls from the host's registers after every read cycle.
    void LoadFromRegisterImage();
    // The OSD language, then 1 to 0xEF (also the main dialog's save).
    void SaveToDevice();
    // The OSD language list: 0 English, 1 Chinese, -1 none chosen. Showing
    // one sends nothing.
    int ShownLanguage() const;
    void ShowLanguage(int language);

    // Handlers, by control.
    void OnMenuToggle();                  // 1052
    void OnKeyUp();                       // 1011
    void OnKeyDown();                     // 1020
    void OnKeyLeft();                     // 1012
    void OnKeyRight();                    // 1055
    void OnKeyOk();                       // 1026
    void OnOsdSave();                     // 1061, or a choice in 1027
    void OnVideoFormatChange(int index);  // a choice in 1028
    // An arrow key or Enter while the page is on screen (see menu_keys.h).
    void OnMenuKey(int key);

    int m_bMenuOpen = 0;
    unsigned m_nPosH = 0;
    unsigned m_nPosV = 0;

private:
    void ShowValues();

    CPageHost& m_host;
};
