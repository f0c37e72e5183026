#pragma once

#include "serial/owner_call.h"

#include <QByteArray>
#include <QMutex>
#include <QSerialPort>
#include <QString>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>

class CMonitorThread;
class QEventLoop;
class QObject;

// One COM port and the monitor thread that performs every read and write on
// it. The owner opens the port, starts the monitor, hands text or raw blocks
// over, and stops the monitor; the port tells the owner about every received
// byte with a synchronous CPortMessageEvent (see port_message.h).
//
// Hand-overs go into a first-in-first-out queue, so each one reaches the line
// whole and in order however fast they follow one another. Received bytes are
// discarded only when the port is opened and when monitoring starts.
class CSerialPort final {
public:
    static constexpr int kStopExitCode = 100;
    static constexpr int kDeviceLostExitCode = 1;

    CSerialPort();
    ~CSerialPort();
    Q_DISABLE_COPY_MOVE(CSerialPort)

    // Ends a running monitor first, then opens COM<nPort> with the line
    // settings. False only when the device cannot be opened (nothing shown);
    // a setting the device refuses is reported in a box and still gives true.
    bool Open(QObject* pOwner, unsigned nPort, int nBaud, char cParity, int nDataBits, int nStopBits,
              quint32 dwEventMask);

    // Starts the monitor thread on the opened port (the owner's step after a
    // successful Open). False when nothing is open or a monitor already runs.
    bool StartMonitor();

    // Asks the monitor to end; it closes the device itself. Safe from any
    // thread and at any time, also from inside a notification handler.
    void SignalStop();

    // Hands text (without its terminating zero) or raw bytes to the monitor
    // thread. Returns at once. Blocks longer than the write buffer are split.
    void QueueWrite(const char* text);
    void QueueWrite(const QByteArray& bytes);

    bool IsOpen() const;
    bool IsMonitorRunning() const { return m_bMonitorRunning != 0; }
    // Exit code of the last monitor thread, -1 while it runs or before the first.
    int MonitorExitCode() const;
    unsigned PortNumber() const { return m_nPortNumber; }

    // The thread function; runs on the monitor thread and returns its exit code.
    int MonitorThread();

private:
    void StopMonitorAndWait();
    void OnCommEvent();
    void DrainReceive();
    void ServiceWrite();
    void OnDeviceError(QSerialPort::SerialPortError error);
    void NotifyOwner(int message, unsigned wParam);
    void ReportCommError(const QString& step, const QString& systemText);

    static constexpr int m_nWriteBufSize = 512;

    QSerialPort* m_hPort = nullptr; // guarded by m_lock; lives on the monitor thread while monitored
    std::unique_ptr<CMonitorThread> m_pMonitor;
    mutable QMutex m_lock;
    std::atomic<int> m_bMonitorRunning{0};

    // Write queue and the monitor's wake-up points, guarded by m_writeMutex.
    std::mutex m_writeMutex;
    std::deque<QByteArray> m_writeQueue;
    bool m_bWritePosted = false;
    QObject* m_pMonitorContext = nullptr;
    QEventLoop* m_pMonitorLoop = nullptr;
    std::atomic<bool> m_bStopRequested{false};

    COwnerCallGate m_ownerCalls;
    QObject* m_pOwnerWnd = nullptr;
    unsigned m_nPortNumber = 0;
    quint32 m_dwEventMask = 0;
    int m_nReadWriteErrors = 0; // monitor thread only: errors since the last good read
    bool m_bDeviceLost = false; // monitor thread only
};
