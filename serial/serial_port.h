#pragma once

#include "serial/comm_errors.h"
#include "serial/line.h"
#include "core/protocol/local_echo.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class CLineDevice;
class CLineTrace;
class QEventLoop;
class QThread;
class QObject;
class QTimer;

// One COM port and the monitor thread that performs every read and write on
// it. The owner opens the port, starts the monitor, hands text or raw bytes
// over, and stops the monitor; the port hands the owner's listener every
// chunk it heard, on the owner's thread in arrival order. The monitor never
// waits for the owner: it posts what it heard and goes on reading and
// writing. The port, its owner and the reporter belong to the thread that
// made the port.
//
// Hand-overs go into a first-in-first-out queue, so each one reaches the line
// whole and in order however fast they follow one another. Received bytes are
// discarded only when the port is opened and when monitoring starts; those
// not yet told when the owner stops or reopens the port are dropped.
//
// Nothing the owner asks waits for the line, but CloseAndWait() and the
// destructor, which wait for every close under way. A stopped monitor lets go of
// the port at once and goes on alone: it sends what was handed over before
// the stop, waits until that has left the line, and closes the device. An
// Open of the same device meanwhile is carried out once that close has
// finished, on the owner's thread; until then the port counts as open, and
// what is handed over waits for it.
class CSerialPort final : public CLine {
public:
    static constexpr int kStopExitCode = 100;
    static constexpr int kDeviceLostExitCode = 1;

    CSerialPort();
    ~CSerialPort();
    Q_DISABLE_COPY_MOVE(CSerialPort)

    // Ends a running monitor first, then opens the device the opening names
    // (a path such as /dev/ttyUSB0, or what COMn stands for) with its line
    // settings. False only when the device cannot be opened (nothing
    // reported; OpenError() says why); a setting the device refuses goes to
    // the reporter and still gives true. The open device is nobody's to
    // watch until the owner calls StartMonitor() or Close(), which it does at
    // once.
    // While an earlier close of the same device still drains, the device is
    // opened once that close has finished and true is returned now; a device
    // that cannot be opened then is reported as lost (the reporter, then the
    // listener's lost()), and a setting it refuses goes to the reporter.
    bool Open(const LineOpening& opening) override;
    const PortOpenError& OpenError() const override { return m_openError; }

    // Who hears what the port heard and of its loss. Set it before Open.
    void SetListener(LineListener listener) override { m_listener = std::move(listener); }
    // Who hears of errors (without one they go to the log). Set it before Open.
    void SetErrorReporter(CommErrorReporter reporter) override { m_errorReporter = std::move(reporter); }

    // Traces what this port sends and hears from now on (null: stops), with
    // the openings, closes and losses of the device. Traced is what goes to
    // the driver and what reaches the owner: on a line that echoes, the
    // host's own bytes are taken out of what is received, as a note says.
    // Safe from any thread; the monitor only queues events on the trace.
    void SetTrace(std::shared_ptr<CLineTrace> trace) override;

    // Starts the monitor thread on the opened port (the owner's step after a
    // successful Open); on a port still waiting for its device, once the
    // device is open. False when nothing is open or a monitor already runs.
    bool StartMonitor() override;

    // Asks the monitor to end; it sends what was handed over, waits until
    // that has left the line, and closes the device itself. An opening that
    // still waits for its device is given up, with what was handed over for
    // it. Safe from any thread and at any time, also from inside a
    // notification handler.
    void SignalStop() override;

    // Ends monitoring and lets the monitor close the device; returns at once,
    // with the port closed as far as the owner goes. On the owner's thread only.
    void Close() override;
    // Close(), then waits until every device this port had open is closed,
    // what was handed over having left the line. On the owner's thread only.
    void CloseAndWait() override;
    quint64 Run() const override { return m_nRun; }

    // Hands text (without its terminating zero) or raw bytes to the monitor
    // thread. Returns at once. Blocks longer than the write buffer are split.
    // Safe from any thread. `onLine` runs on the owner's thread once the
    // last byte has left the line at the rate set by Open (a failed write
    // counts as gone), unless the port is stopped or reopened first. With no
    // bytes, once those handed over before have left the line.
    WriteTicket QueueWrite(const char* text);
    WriteTicket QueueWrite(const QByteArray& bytes, std::function<void()> onLine = {}) override;
    // Sets another rate on the open line without closing it, in order with
    // the hand-overs: once what was handed over before has left the line at
    // the old rate. The echo is decided afresh. A rate the device refuses
    // goes to the reporter. On the owner's thread.
    void SetRate(int nBaud) override;
    // Bytes of an image: the same, but a trace shows only their length.
    WriteTicket QueueImageWrite(const QByteArray& bytes) override;
    // The next bytes handed over decide afresh whether the line echoes,
    // unless it is known to: a burst of noise ahead of the first echo must
    // not mark an echoing line as clean for the rest of the opening. In
    // order with the hand-overs.
    void DecideEchoAgain() override;

    // Waits up to timeoutMs until the driver has taken every byte up to the
    // ticket (a failed write counts as settled: it is reported as an error).
    // Dropped when the port was stopped, lost or reopened since: those bytes
    // may never be sent. Safe from any thread but the monitor's.
    WriteState WaitWritten(const WriteTicket& ticket, int timeoutMs) override;

    // A device is open, or an opening waits for its device's earlier close.
    bool IsOpen() const override;
    // No device this port opened is open or still being closed: another
    // port may open it now. On the owner's thread.
    bool DevicesReleased() const override;
    bool Reaches(const QString& device) const override;
    // The line of the running (or last) monitor returns the host's own
    // bytes; they are taken out before anything reaches the owner.
    bool LineEchoes() const override { return m_bLineEchoes; }
    // Bytes the monitor has heard that the owner has not been told yet: the
    // owner's thread is behind. On the owner's thread.
    bool OwnerBehind() const override { return m_nTold < m_nHeard; }
    // Also while monitoring waits for the device to be opened.
    bool IsMonitorRunning() const override { return m_bMonitorRunning != 0 || m_bStartDeferred; }
    // Exit code of the last monitor thread, -1 while it runs or before the first.
    int MonitorExitCode() const;
    unsigned PortNumber() const { return m_nPortNumber; }
    // One character's time on the line at the rate set by Open, in ns (0
    // for a rate it refused). On the owner's thread.
    qint64 CharacterTimeNs() const override { return m_nByteTimeNs; }
    // The network's round trip to a device behind a server, as last measured; 0 on this machine.
    int RoundTripMs() const override { return m_nRoundTripMs; }

private:
    struct QueuedWrite {
        QByteArray bytes;
        std::function<void()> onLine; // on the last block of a hand-over
        bool bDecideEcho = false;     // no bytes: the echo is decided again from here
        int nNewBaud = 0;             // no bytes: the line's rate changes here
        qint64 nNewByteTimeNs = 0;    // one character's time at that rate
        bool bImage = false;          // traced by its length
    };
    // The line settings of an Open.
    struct Opening {
        QString strConfigured; // as the owner named the device
        QString strDevice;     // the device it leads to
        int nBaud = 0;
        char cParity = 'N';
        int nDataBits = 8;
        int nStopBits = 1;
        std::shared_ptr<OpenedDevice> opened{}; // opened ahead: taken as it is
    };
    // One monitor thread: it watches the device while monitoring lasts, then,
    // let go of the port, closes the device (MonitorThread).
    struct MonitorRun {
        QString strDevice;
        std::unique_ptr<QThread> thread;
        std::atomic<bool> bDeviceClosed{false};
        // The thread's last write: read after QThread::wait(), it orders all
        // the thread did before what the reader does next, also for tools
        // that do not see inside QThread::wait().
        std::atomic<bool> bEnded{false};
    };
    // What a stopped monitor still sends, and when the line is free of what it sent.
    struct Drain {
        std::deque<QueuedWrite> writes;
        QElapsedTimer clock;
        qint64 nLineFreeNs = 0; // on `clock`
        qint64 nByteTimeNs = 0;
        CCommErrors errors;
        QString strHeldStep; // an error not yet reported, for the log
        QString strHeldText;
        unsigned nPortNumber = 0;
        std::shared_ptr<CLineTrace> trace;
        QString strTraceName;
    };

    // The thread function; runs on the monitor thread and returns its exit code.
    int MonitorThread(MonitorRun& run);
    // Stops the monitor and waits until it has let go of the port (not for its close).
    void StopMonitor();
    // Opens the device now; false when it cannot be opened (m_openError says why).
    bool OpenDevice(const Opening& opening, QString* failedStep, QString* systemText);
    bool StartMonitorNow();
    // A monitor has closed its device: an opening that waited for it is carried out.
    void OnDeviceClosed();
    bool DeviceClosing(const QString& device) const; // owner's thread
    void ForgetClosedRuns();                          // owner's thread
    static void SendAndClose(CLineDevice* device, Drain& drain);
    void NewWriteEpoch(); // with m_mutex held
    void Settle(qint64 bytes);
    void OnCommEvent();
    void ServiceWrite();
    void ChangeRate(const QueuedWrite& block);
    void WhenOnLine(std::function<void()> onLine);
    void OnDeviceError(QSerialPort::SerialPortError error);
    void ReportHeldError();
    // Runs fn on the owner's thread unless the port is stopped or reopened first.
    void ToOwner(std::function<void()> fn);
    void TellLost();
    void ReportCommError(const QString& step, const QString& systemText, bool deviceLost = false);
    // A line setting the device (or its server) refused or set otherwise.
    void ReportSettingRefused(const QString& step, const QString& systemText);
    void Report(const CommErrorReport& report);
    WriteTicket QueueBlocks(const QByteArray& bytes, std::function<void()> onLine, bool image);
    // The trace, if any, and the name it shows for the port.
    std::shared_ptr<CLineTrace> Trace(QString* name) const;
    static void TraceWrite(CLineTrace& trace, const QString& name, const QueuedWrite& block);
    // Notes that the device was opened (up) or went or failed to open (not up).
    void TraceLineState(bool up, const QString& text);
    // The device is no longer open: "closed" is noted once per opening, when `say`.
    void TraceClosed(bool say);

    static constexpr int m_nWriteBufSize = 512;

    // The one lock: the device pointer, the write queue and its counters, the
    // opening that waits for its device, and the monitor's wake-up points.
    // m_settledChanged waits on it.
    mutable std::mutex m_mutex;
    CLineDevice* m_hPort = nullptr; // lives on the monitor thread while monitored
    QString m_strDevice;            // the device m_hPort opened (owner's thread)
    std::optional<Opening> m_waitingOpen; // opened once the device's earlier close has finished
    std::atomic<bool> m_bStartDeferred{false}; // StartMonitor() asked for while m_waitingOpen waits
    // Monitor threads not yet ended, the running one last (owner's thread).
    std::vector<std::unique_ptr<MonitorRun>> m_runs;
    std::atomic<int> m_nMonitorExitCode{-1}; // its result; -1 while it runs or before the first
    std::atomic<int> m_bMonitorRunning{0};   // until the monitor has let go of the port
    std::condition_variable m_monitorLetGo;
    PortOpenError m_openError;

    void Enqueue(QueuedWrite write); // with m_mutex held
    std::deque<QueuedWrite> m_writeQueue;
    quint64 m_nWriteEpoch = 1;
    quint64 m_nHandedOver = 0; // bytes queued in this epoch
    quint64 m_nSettled = 0;    // of those, taken by the driver or failed
    std::condition_variable m_settledChanged;
    bool m_bWritePosted = false;
    QObject* m_pMonitorContext = nullptr;
    QEventLoop* m_pMonitorLoop = nullptr;
    std::atomic<bool> m_bStopRequested{false};

    // Turned by every start and stop: what the monitor posted to the owner
    // runs only while the run it came from lasts.
    std::atomic<quint64> m_nRun{0};
    quint64 m_nMonitorRun = 0; // the running monitor's, set before it starts
    QObject m_ownerContext;    // on the owner's thread; what is posted to it dies with the port
    CommErrorReporter m_errorReporter;
    LineListener m_listener;
    unsigned m_nPortNumber = 0;
    qint64 m_nByteTimeNs = 0; // one character on the line at the rate set by Open or SetRate (owner's thread)
    int m_nCharBits = 10;     // start, data, parity and stop bits of one character
    qint64 m_nOpenedByteTimeNs = 0; // at the rate the device was opened with (under m_mutex)

    std::atomic<bool> m_bLineEchoes{false};
    std::atomic<int> m_nRoundTripMs{0};
    std::atomic<bool> m_bBehindServer{false}; // the device is a device server's port
    std::atomic<bool> m_bRefusalTold{false};  // a setting the server set otherwise was told, this opening

    mutable std::mutex m_traceMutex; // the three below, set on any thread
    std::shared_ptr<CLineTrace> m_trace;
    QString m_strTraceName; // the device as the owner named it
    bool m_bTracedUp = false; // the trace last said the device is open
    std::atomic<quint64> m_nHeard{0}; // bytes of this run posted to the owner
    quint64 m_nTold = 0;              // of those, told (owner's thread)

    // Monitor thread only.
    CCommErrors m_errors;
    CLocalEcho m_echo;
    bool m_bDeviceLost = false;
    QTimer* m_pHeldReport = nullptr;
    QString m_strHeldStep;
    QString m_strHeldText;
    QElapsedTimer m_clock;
    qint64 m_nLineFreeNs = 0; // when the last byte handed to the driver has left the line
    qint64 m_nLineByteTimeNs = 0; // one character at the rate the device is set to now
};
