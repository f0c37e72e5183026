#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// ser2net, a real serial device server, in front of a device of this
// machine (the simulated camera's terminal), on 127.0.0.1 at a free port.
// RFC 2217 lets the client set the line; raw TCP passes bytes at `baud`.
class DeviceServer {
public:
    enum class Kind { Rfc2217, RawTcp };

    // On `port`, or on a free one when 0. `charDelay`: ser2net's default of
    // holding what the device sends for a few character times, to send it
    // in fewer packets; off, each chunk goes at once.
    DeviceServer(const QString& device, Kind kind, int baud = 115200, quint16 port = 0, bool charDelay = true);
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Listening: false when ser2net is missing or did not come up.
    bool Started() const { return m_bStarted; }
    // rfc2217://127.0.0.1:PORT or socket://127.0.0.1:PORT
    QString Address() const;
    quint16 Port() const { return m_nPort; }
    // Gone at once, as a server switched off: its connections drop.
    void Kill();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    Kind m_kind;
    quint16 m_nPort = 0;
    bool m_bStarted = false;
    bool m_bCharDelay = true;
};

// A TCP port of 127.0.0.1 that nothing listens on now.
quint16 FreeLocalPort();
