#pragma once

#include "core/protocol/register_map.h"
#include "core/settings/exposure.h"

#include <QDateTime>
#include <QtGlobal>
#include <functional>

class CCameraConnection;
class CUpgradeRun;
class CWindowTimers;

// What the pages share of the window: the camera's connection (its session,
// its upgrade run, the state of the link), the window's timers, and the few controls of
// the window a page may change, which the window lends through hooks. The
// window makes one and hands it to each page; a page reaches nothing else of
// the window, and no other page.
class CPageHost final {
public:
    // The main dialog's timers, by their fixed numbers.
    static constexpr int kTimerNoReply = 202;        // 2000 ms after opening
    static constexpr int kTimerClearLabel = 203;     // 5000 ms, empties label 1072
    static constexpr int kTimerSaveNoReply = 204;    // 2000 ms after a save
    static constexpr int kTimerReopen = 205;         // 12000 ms after a restart

    // What the window does on a page's behalf.
    struct WindowHooks {
        // The restart trigger; mode 1 also closes the port once it is out
        // and reopens it 12 s later.
        std::function<void(int mode)> restartDevice;
        // Every control that sends to the camera (both pages, save 1021) and the line's settings
        // (lists 1007 to 1013): locked from an upgrade's first trigger until the camera is released.
        std::function<void(bool locked)> lockForUpgrade;
        std::function<void(bool enable)> enableLinkButtons; // save 1021 and the port's button 1016, while an image streams
        std::function<ExposureChoice()> imageExposure;      // the image page's shutter, for a change of video format
        std::function<void()> settingsSaved;                // the image page's save went out; its read-back follows
        std::function<void(const QDateTime& began)> recovered; // a recovery begun then is verified
    };

    CPageHost(CCameraConnection& connection, CWindowTimers& timers);
    Q_DISABLE_COPY_MOVE(CPageHost)
    void SetHooks(WindowHooks hooks) { m_hooks = std::move(hooks); }

    // Writes and the read cycle are paced out on timers, in the order given;
    // writes only while the port is open and the configuration read. Neither
    // while an upgrade runs: inside an image a write would spoil it.
    void ReadCycle();
    void WriteRegister(int value, int reg);
    // Ahead of a save's or a format change's writes: the camera's settings are kept before and after.
    void BeginWrite(const QString& what);
    // The box saying a record of them could not be written, and that the write goes ahead.
    static void SayBackupNotKept(const QString& why);
    void RestartDevice(int mode) { m_hooks.restartDevice(mode); }
    // A pause before whatever is sent next (nothing while the port is closed).
    void PauseWrites(int ms);
    // Runs `step` once everything handed over before it has left the line
    // (on a slow line, seconds after it was paced out).
    void AfterWrites(std::function<void()> step);
    // A save, a format change or other writes are still being paced out.
    bool WritesPending() const;
    // A read, or a search for the camera's rate, is under way.
    bool Reading() const;
    CWindowTimers& Timers() { return m_timers; }
    // The camera's registers as the last complete read cycle left them.
    const RegisterImage& Registers() const;
    ExposureChoice ImageExposure() const { return m_hooks.imageExposure(); }
    // The session's upgrade run, which the upgrade page starts and shows.
    CUpgradeRun& Upgrade();
    bool UpgradeMode() const;
    void LockForUpgrade(bool locked) { m_hooks.lockForUpgrade(locked); }
    void EnableLinkButtons(bool enable) { m_hooks.enableLinkButtons(enable); }
    void SettingsSaved() { m_hooks.settingsSaved(); }
    void Recovered(const QDateTime& began) { m_hooks.recovered(began); }

    // The link, as the connection keeps it.
    bool PortOpen() const;
    bool ConfigRead() const; // the last read came whole
    bool ReplySeen() const;  // a character came since the last read began
    // A wait for the camera's reply: `lineMs`, and a device server's round trip on top.
    int ReplyWaitMs(int lineMs) const;
    // Whether the pages may save or read: the port open, the configuration
    // read, no upgrade running, and nothing of an earlier save or format
    // change still waiting to go out.
    bool ReadyForSettings() const { return PortOpen() && ConfigRead() && !UpgradeMode() && !WritesPending(); }
    // The box for an action the link is not ready for: string 116 and,
    // below it, which of the causes holds now.
    void SayNotReady() const;

private:
    CCameraConnection& m_connection;
    CWindowTimers& m_timers;
    WindowHooks m_hooks;
};
