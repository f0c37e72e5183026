#pragma once

#include "sim/pty_camera.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

// The simulated camera on a pseudo-terminal, mapped to COM1 through the
// config.ini beside the test program; COM3 maps to a device that does not exist.
// COM1 names the terminal by a link of this fixture's own, removed when the
// camera vanishes: terminal numbers are reused by other test programs at
// once, and a window watching for a vanished /dev/pts/N to come back would
// open another program's camera.
class CameraFixture {
public:
    explicit CameraFixture(CameraFaults faults = {}, CameraTiming timing = {}, PtyOptions options = {});
    ~CameraFixture();

    PtyCamera& Camera() { return *m_pCamera; }
    // What COM1 opens: the camera's link.
    QString Device() const;
    bool Started() const { return m_bStarted; }

    // Writes config.ini with the [Ports] section and the given extra lines.
    void WriteConfig(const QString& extraLines = QString()) const;

    // Waits (processing events) until the camera received `bytes` in total.
    bool WaitReceived(const std::string& bytes, int timeoutMs = 5000);

private:
    QTemporaryDir m_names; // holds the link; made before the camera
    std::unique_ptr<PtyCamera> m_pCamera;
    bool m_bStarted = false;
};

// Lower bound on the pauses between `count` commands of `length` bytes, the
// first at `offset` of `line`: the median pause is at least `pauseMs` less
// 1 ms. The simulator stamps a byte when its thread reads it, and on a
// loaded machine that thread can wake 10 ms late or more; a late stamp
// shortens one pause and lengthens the next, which leaves the median where
// it was, while pauses that are too short move it. Empty when it holds,
// else what failed.
QString CheckCommandSpacing(const std::vector<LineByte>& line, std::size_t offset, std::size_t length, int count,
                            int pauseMs);

// A camera whose upgrade replies come with line noise: `inImage` once half an
// image has arrived, `afterVerdict` right after its verdict, which is
// `report` instead of 'D' when one is given.
CameraFaults NoisyUpgrade(const QByteArray& inImage, const QByteArray& afterVerdict, const QByteArray& report);

// A line whose camera understands only `baud` (and echoes, when asked).
PtyOptions OwnRate(int baud, bool echo = false);

// The rates the host's bytes travelled at, each once, in the order first heard.
std::vector<int> RatesHeard(const PtyCamera& camera);

// Runs the event loop until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Where the records of the cameras' settings go in a test program
// ($ORVANE_BACKUPS, set at the first camera made): a folder of its own.
const QString& TestBackupsFolder();
