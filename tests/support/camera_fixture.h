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

// Runs the event loop until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
