#pragma once

#include "camera_session.h"
#include "settings/image_settings.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QString>
#include <QTextStream>
#include <atomic>
#include <deque>
#include <functional>

// The command line's connection to one camera: the camera session the
// window uses too, waited on in this thread's event loop, and the
// characters the camera sends outside a read cycle.
class CCameraLink final {
public:
    // The port's errors are told on `err` in the command line's words.
    explicit CCameraLink(QTextStream& err);
    ~CCameraLink();

    // Opens P: a device path, or COMn as config.ini maps it. False with
    // *error naming the port and the OS's reason.
    bool Open(const QString& port, int baud, QString* error);
    // Lets what was handed over go out (a few seconds at most), then closes.
    void Close();
    CSerialPort& Port() { return m_session.Port(); }
    const QString& PortName() const { return m_strPort; }

    // One read cycle, after what was handed over before it; the registers
    // land in Registers(). False with *error when the camera stays silent or
    // its answer cannot be read.
    bool ReadConfiguration(QString* error);
    const RegisterImage& Registers() const { return m_session.Registers(); }

    // Paced as the window paces them: a register write and its 20 ms, other
    // bytes with the pause after them, a pause. WaitSent() waits until they
    // are out (false when interrupted or the device went away).
    void Write(const RegisterWrite& write);
    void Send(const QByteArray& bytes, int pauseAfterMs = 0);
    void Pause(int ms);
    bool WaitSent();

    // Runs the event loop until done() holds, the time is up (false) or the
    // user interrupts (false). A negative timeout waits without end.
    bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
    // The camera's next character, or -1 when none came in time.
    int NextChar(int timeoutMs);
    bool CharWaiting() const { return !m_received.empty(); }
    void DiscardReceived() { m_received.clear(); }
    bool DeviceLost() const { return m_bLost; }
    // "PORT went away", with the OS's words when it gave any.
    QString LossText() const;

    // Set by Ctrl-C; every wait ends when it is set.
    static std::atomic<bool> s_bInterrupted;

private:
    void OnReceived(unsigned ch);
    bool RunEventsUntil(const std::function<bool()>& done, QDeadlineTimer deadline, bool interruptible);

    CCameraSession m_session;
    QString m_strPort;
    std::deque<char> m_received;
    bool m_bLost = false;
    QString m_strLossReason;
    bool m_bReading = false;     // characters go to the read cycle
    bool m_bCycleDone = false;
    bool m_bCycleStored = false;
    QElapsedTimer m_sinceAnswer; // since the last character of the read (or its first request)
};
