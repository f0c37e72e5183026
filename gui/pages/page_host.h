#pragma once

#include "protocol/register_map.h"
#include "settings/exposure.h"

#include <QString>
#include <functional>

class CUpgradeRun;
class CWindowTimers;

// What the pages use of the main dialog: the link's flags, its operations
// and its timers. The main dialog is the one host; it hands itself to each
// page it makes.
class CPageHost {
public:
    // The main dialog's timers, by their fixed numbers.
    static constexpr int kTimerNoReply = 202;        // 2000 ms after opening
    static constexpr int kTimerClearLabel = 203;     // 5000 ms, empties label 1072
    static constexpr int kTimerSaveNoReply = 204;    // 2000 ms after a save
    static constexpr int kTimerReopen = 205;         // 12000 ms after a restart

    // Writes and the read cycle are paced out on timers, in the order given.
    virtual void ReadCycle() = 0;
    virtual int WriteRegister(int value, int reg) = 0;
    // The restart trigger; mode 1 also closes the port once it is out and
    // reopens it 12 s later.
    virtual int RestartDevice(int mode) = 0;
    // A pause before whatever is sent next (nothing while the port is closed).
    virtual void PauseWrites(int ms) = 0;
    // Runs `step` once everything handed over before it has left the line
    // (on a slow line, seconds after it was paced out).
    virtual void AfterWrites(std::function<void()> step) = 0;
    // A save, a format change or other writes are still being paced out.
    virtual bool WritesPending() const = 0;
    virtual CWindowTimers& Timers() = 0;
    // The camera's registers as the last complete read cycle left them.
    virtual const RegisterImage& Registers() const = 0;
    // The image page's shutter choice and times, for a change of video format.
    virtual ExposureChoice ImageExposure() const = 0;
    // The session's upgrade run, which the upgrade page starts and shows.
    virtual CUpgradeRun& Upgrade() = 0;
    // The port list 1007, locked while an upgrade run owns the port.
    virtual void EnablePortChoice(bool enable) = 0;
    // Save 1021 and the port's button 1016, locked while an image streams.
    virtual void EnableLinkButtons(bool enable) = 0;
    // While an upgrade run lasts.
    virtual bool UpgradeMode() const = 0;

    int m_bPortOpen = 0;
    int m_bConfigRead = 0;
    int m_bReplySeen = 0;

    // Whether the pages may save or read: the port open, the configuration
    // read (or given up on), no upgrade running, and nothing of an earlier
    // save or format change still waiting to go out.
    bool ReadyForSettings() const { return m_bPortOpen && m_bConfigRead && !UpgradeMode() && !WritesPending(); }

protected:
    ~CPageHost() = default;
};
