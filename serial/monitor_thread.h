#pragma once

#include <QThread>
#include <atomic>

class CSerialPort;

// The worker thread the owner starts after a successful Open; it runs the
// port's MonitorThread and keeps its exit code (100 after a stop).
class CMonitorThread final : public QThread {
    Q_OBJECT
public:
    explicit CMonitorThread(CSerialPort& port) : m_port(port) {}

    // -1 until the thread function has returned.
    int ExitCode() const { return m_nExitCode; }

protected:
    void run() override;

private:
    CSerialPort& m_port;
    std::atomic<int> m_nExitCode{-1};
};
