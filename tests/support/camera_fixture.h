#pragma once

#include "sim/pty_camera.h"

#include <QString>
#include <functional>
#include <memory>

// The simulated camera on a pseudo-terminal, mapped to COM1 through the
// config.ini beside the test program; COM3 maps to a device that does not exist.
class CameraFixture {
public:
    explicit CameraFixture(CameraFaults faults = {}, CameraTiming timing = {}, PtyOptions options = {});
    ~CameraFixture();

    PtyCamera& Camera() { return *m_pCamera; }
    bool Started() const { return m_bStarted; }

    // Writes config.ini with the [Ports] section and the given extra lines.
    void WriteConfig(const QString& extraLines = QString()) const;

    // Waits (processing events) until the camera received `bytes` in total.
    bool WaitReceived(const std::string& bytes, int timeoutMs = 5000);

private:
    std::unique_ptr<PtyCamera> m_pCamera;
    bool m_bStarted = false;
};

// How late the simulator may stamp a byte: it stamps a byte when its thread
// reads it, and on a loaded machine that thread can wake a few ms late.
constexpr std::int64_t kStampDelay = 5'000'000;

// Lower bounds on the pauses between `count` commands of `length` bytes,
// the first at `offset` of `line`: each pause at least half of `pauseMs`
// (a pause that is missing shows at once), and all of them together at least
// (count - 1) x pauseMs less one stamp delay (a pause that is too short shows
// in the sum, where a late stamp moves only the ends). Empty when they hold,
// else what failed.
QString CheckCommandSpacing(const std::vector<LineByte>& line, std::size_t offset, std::size_t length, int count,
                            int pauseMs);

// Runs the event loop until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
