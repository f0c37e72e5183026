#pragma once

#include "image_transfer.h"
#include "protocol/register_map.h"
#include "upgrade_exchange.h"
#include "settings/exposure.h"

#include <QString>
#include <functional>

class CWindowTimers;

// What the pages use of the main dialog: the link's flags, its operations
// and its timers. The main dialog is the one host; it hands itself to each
// page it makes.
class CPageHost {
public:
    // The main dialog's timers, by their fixed numbers.
    static constexpr int kTimerUpgradeRequest = CUpgradeExchange::kTimerRequest; // 1000 ms, repeating
    static constexpr int kTimerNoReply = 202;        // 2000 ms after opening
    static constexpr int kTimerClearLabel = 203;     // 5000 ms, empties label 1072
    static constexpr int kTimerSaveNoReply = 204;    // 2000 ms after a save
    static constexpr int kTimerReopen = 205;         // 12000 ms after a restart
    static constexpr int kTimerAfterTransfer = CUpgradeExchange::kTimerAfterTransfer; // 10000 ms after an image

    // Writes and the read cycle are paced out on timers, in the order given.
    virtual void ReadCycle() = 0;
    virtual int WriteRegister(int value, int reg) = 0;
    // Mode 1 restarts the camera (closed, reopened 12 s later); mode 0
    // triggers the upgrade of `image`.
    virtual int RestartDevice(int mode, const TransferJob& image = {}) = 0;
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
    // The camera's versions as the image page shows them ("V1.2"), for the
    // images an upgrade may skip.
    virtual QString SoftwareVersionShown() const = 0; // edit 1071
    virtual QString HardwareVersionShown() const = 0; // edit 1070
    // The port list 1007, locked while an upgrade run owns the port.
    virtual void EnablePortChoice(bool enable) = 0;
    // From the upgrade trigger until the run ends: the camera's characters
    // belong to the upgrade exchange.
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
