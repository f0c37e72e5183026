#pragma once

#include "protocol/register_map.h"
#include "settings/image_settings.h"
#include "serial_port.h"

#include <QObject>
#include <QString>
#include <QTextStream>
#include <atomic>
#include <deque>
#include <functional>

// The command line's connection to one camera: the port, the characters the
// camera sends, the read cycle and paced register writes. Everything runs on
// the thread that made it, waiting in its event loop.
class CCameraLink final : public QObject {
public:
    // The port's errors are told on `err` in the command line's words.
    explicit CCameraLink(QTextStream& err);
    ~CCameraLink() override;

    // Opens P: a device path, or COMn as config.ini maps it. False with
    // *error naming the port and the OS's reason.
    bool Open(const QString& port, int baud, QString* error);
    // Waits until what was sent has left the line, then closes.
    void Close();
    CSerialPort& Port() { return m_port; }
    const QString& PortName() const { return m_strPort; }

    // One read cycle; the registers land in Registers(). False with *error
    // when the camera stays silent or its answer cannot be read.
    bool ReadConfiguration(QString* error);
    const RegisterImage& Registers() const { return m_registers; }

    // One register write, then its 20 ms pause.
    void Write(const RegisterWrite& write);

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

protected:
    bool event(QEvent* event) override;

private:
    CSerialPort m_port;
    QString m_strPort;
    std::deque<char> m_received;
    bool m_bLost = false;
    QString m_strLossReason;
    RegisterImage m_registers{};
};
