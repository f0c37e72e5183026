#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>

class CLineTrace;
struct OpenedDevice;

// How a line is opened: the device (or address) as the owner named it, the
// number its reports show (n of COMn, else 0) and the character framing.
struct LineOpening {
    unsigned nNumber = 0;
    QString strDevice{};
    int nBaud = 115200;
    char cParity = 'N';
    int nDataBits = 8;
    int nStopBits = 1;
    // The device opened ahead with these settings (serial/device_opener.h),
    // which Open takes instead of opening one; the first Open takes it.
    std::shared_ptr<OpenedDevice> opened{};
};

// Why the last Open found nothing to open.
struct PortOpenError {
    QString strDevice;     // the device the port's name stands for
    QString strSystemText; // the OS's words, e.g. "No such file or directory"
    bool bAccessDenied = false; // the device exists but this user may not use it
    bool bHeld = false;         // another program holds the device (locked, or opened exclusively)
};

// An error the line reports: the step that failed ("read()"), the OS's
// words, and whether the device is gone (monitoring has ended).
struct CommErrorReport {
    QString strStep{};
    QString strSystemText{};
    unsigned nPortNumber = 0;
    bool bDeviceLost = false;
    bool bBehindServer = false;   // the line is a serial port behind a device server
    bool bSettingRefused = false; // a line setting was refused or set otherwise
};
// Runs on the owner's thread (the thread that made the line), once per report.
using CommErrorReporter = std::function<void(const CommErrorReport&)>;

// What the line tells its owner, on the owner's thread and in arrival order.
struct LineListener {
    std::function<void(const QByteArray& chunk)> received{}; // bytes heard, the line's own echo taken out
    std::function<void()> lost{}; // the device went away; monitoring has ended (after its one report)
};

// Where a hand-over ends in the stream of bytes handed to one opening.
struct WriteTicket {
    quint64 nEpoch = 0; // the opening (or monitoring run) it belongs to
    quint64 nEnd = 0;   // bytes handed over up to and including it
};

// A line to one camera, as the camera session uses it: opened with line
// settings, monitored on a thread of its own, written through a queue whose
// hand-overs reach the line whole and in order, and heard in chunks. The
// serial port is one kind (serial/serial_port.h); MakeLine() makes the kind
// a port's name asks for.
class CLine {
public:
    virtual ~CLine() = default;

    // Ends a running monitor first, then opens the line. False only when
    // nothing could be opened (nothing reported; OpenError() says why); a
    // setting the device refuses goes to the reporter and still gives true.
    // The owner then calls StartMonitor() or Close().
    virtual bool Open(const LineOpening& opening) = 0;
    virtual const PortOpenError& OpenError() const = 0;
    // Set before Open. Without a reporter errors go to the log.
    virtual void SetListener(LineListener listener) = 0;
    virtual void SetErrorReporter(CommErrorReporter reporter) = 0;
    // Traces what is sent and heard from now on (null: stops). Any thread.
    virtual void SetTrace(std::shared_ptr<CLineTrace> trace) = 0;

    // Starts monitoring the opened line; false when nothing is open or it runs.
    virtual bool StartMonitor() = 0;
    // Asks monitoring to end: what was handed over is still sent, then the
    // device closes. Any thread, also inside a listener.
    virtual void SignalStop() = 0;
    // Ends monitoring; returns at once with the line closed as far as the owner goes.
    virtual void Close() = 0;
    // Close(), then waits until the device is closed and what was handed over has left.
    virtual void CloseAndWait() = 0;
    // Open, or an opening waits for the device's earlier close.
    virtual bool IsOpen() const = 0;
    // Monitoring runs, or waits for the device to be opened.
    virtual bool IsMonitorRunning() const = 0;
    // Changes with every start, stop and reopen: the rest of a chunk heard
    // in an earlier run is no longer the owner's once this has moved on.
    virtual quint64 Run() const = 0;

    // Hands bytes over; returns at once. `onLine` runs on the owner's thread
    // once the last byte has left the line (with no bytes: once those handed
    // over before have), unless the line is stopped or reopened first.
    virtual WriteTicket QueueWrite(const QByteArray& bytes, std::function<void()> onLine = {}) = 0;
    // Bytes of an image: the same, but a trace shows only their length.
    virtual WriteTicket QueueImageWrite(const QByteArray& bytes) = 0;
    // Another rate without a reopen, once what was handed over before has left.
    virtual void SetRate(int nBaud) = 0;
    // The next bytes handed over decide afresh whether the line echoes.
    virtual void DecideEchoAgain() = 0;

    // Waits up to timeoutMs until the device has taken every byte up to the
    // ticket; Dropped when the line was stopped, lost or reopened since. Any
    // thread but the monitor's.
    enum class WriteState { Written, Pending, Dropped };
    virtual WriteState WaitWritten(const WriteTicket& ticket, int timeoutMs) = 0;

    // This kind of line opens `device`; for any other a new line is made.
    virtual bool Reaches(const QString& device) const = 0;
    // Nothing this line opened is open or still being closed.
    virtual bool DevicesReleased() const = 0;
    // The line returns the host's own bytes (taken out before the owner hears them).
    virtual bool LineEchoes() const = 0;
    // Bytes heard that the owner has not been told yet: its thread is behind.
    virtual bool OwnerBehind() const = 0;
    // One character's time on the line at the rate set, in ns (0 for a refused rate).
    virtual qint64 CharacterTimeNs() const = 0;
    // The network's round trip to a line behind a device server, in ms, kept
    // up to date; every answer waits this long on top of the line's time. 0
    // for a line of this machine. Any thread.
    virtual int RoundTripMs() const = 0;
};

// An opening that waits on the network (a connect, a server's answers)
// gives up, saying "interrupted". Safe in a signal handler: Ctrl-C calls it.
void InterruptLineOpenings();

// The line a port's name asks for: "COMn" resolved, device paths and the
// addresses of serial ports behind a device server (rfc2217://, socket://).
std::unique_ptr<CLine> MakeLine(const QString& device);
