#pragma once

#include "core/settings/image_settings.h"
#include "gui/widgets/template_page.h"
#include "session/window_timers.h"

#include <optional>

class CPageHost;
class QCheckBox;
class QComboBox;
struct CheckFailure;

// The image-parameter page (template 143): colour, exposure, versions and
// other image settings of the camera, filled after every read cycle, kept
// consistent by its enabling rules, checked and written back on save.
class CDlgPara final : public CTemplatePage {
    Q_OBJECT
public:
    static constexpr int kTimerSwitchTest = 100; // 5000 ms while the day/night test runs
    static constexpr int kSwitchTestLastCount = 60;

    explicit CDlgPara(CPageHost& host, QWidget* parent = nullptr);

    // Fills the controls from the host's registers after every read cycle.
    void LoadFromRegisterImage();
    // The 19 writes of the page's settings (also the main dialog's save).
    void SaveToDevice();
    // What the page shows now, typed values included; a value or time that
    // is no whole number counts as the last one taken. The video format and
    // versions are the last fill's.
    ImageSettings ShownSettings() const;
    // Shows `settings` (from ShownSettings() with changes) as if the user had
    // set them: nothing is sent until a save.
    void ShowSettings(const ImageSettings& settings);

    // Handlers, by control.
    void OnSave();               // 1062: the checks, then the save sequence
    void OnDefault();            // 1069: default settings, nothing sent
    void OnTrigger();            // 1043: one-shot white balance
    void OnSwitchTest();         // 1074: starts the day/night switch test
    void OnTimer(int id);        // 100: one step of the switch test
    void OnShutterChange();      // 1034: the shutter rule
    void OnGainClick();          // 1035: the gain rule
    void OnContrastClick();      // 1014: the contrast rule
    void OnBacklightClick();     // 1015: the backlight rule
    void OnWhiteBalanceChange(); // 1042: the white-balance rule
    void OnSceneClick();         // 1060: the scene rule

    CWindowTimers& Timers() { return m_timers; }
    // The shutter selection and the times of the last save (or of the last
    // fill, when the camera reported a user-defined exposure).
    ExposureChoice Exposure() const;
    int SwitchCount() const { return m_nSwitchCount; }
    VideoTiming Timing() const { return VideoTimingForCode(m_settings.nVideoCode); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowValues();
    // The page shows `settings`, its enabling rules applied.
    void ShowAll(const ImageSettings& settings);
    void TakeValues();
    ImageSettings CurrentSettings() const;
    void SetCurrentSettings(const ImageSettings& settings);
    void FillShutterList(int videoCode);
    void ShowCheckFailure(const CheckFailure& failure);
    void SaveSequence();
    QComboBox* List(int id) const;
    QCheckBox* Box(int id) const;

    CPageHost& m_host;
    // The six values, the two times of a user-defined exposure, and the
    // video-format code of the last fill. Until the first fill the code is
    // 0x00 (F = 25, L = 1125), the camera's power-on format.
    ImageSettings m_settings;
    int m_nSwitchCount = 0;
    CWindowTimers m_timers;
};
