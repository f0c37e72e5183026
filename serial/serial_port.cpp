#include "serial/serial_port.h"

#include "core/config/com_ports.h"
#include "core/config/network_address.h"
#include "serial/device_opener.h"
#include "serial/line_device.h"
#include "serial/line_trace.h"
#include "serial/line_settings.h"
#include "serial/post_call.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// What a port without a reporter does with an error: tells the log, so
// that nothing is lost without a trace.
void WarnCommError(const CommErrorReport& report)
{
    qWarning().noquote() << u"Port %1: %2 failed: %3"_s.arg(report.nPortNumber).arg(report.strStep, report.strSystemText);
}

// How long a stop waits for queued bytes to leave the line before it closes
// the device (closing restores the line settings from before the open).
constexpr int kDrainOnStopMs = 1000;
// A single error is reported once this long has passed without another.
constexpr int kHeldErrorMs = 50;

// One character on the line: start bit, data, parity and stop bits.
qint64 ByteTimeNs(int nBaud, char cParity, int nDataBits, int nStopBits)
{
    if (!BuildLineSettings(nBaud, cParity, nDataBits, nStopBits))
        return 0;
    const int bits = 1 + nDataBits + (cParity == 'N' ? 0 : 1) + nStopBits;
    return qint64(bits) * 1'000'000'000 / nBaud;
}

} // namespace

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort()
{
    CloseAndWait();
}

bool CSerialPort::Open(const LineOpening& request)
{
    StopMonitor();
    ForgetClosedRuns();

    const QString& configured = request.strDevice;
    const int nBaud = request.nBaud;
    const char cParity = request.cParity;
    const int nDataBits = request.nDataBits;
    const int nStopBits = request.nStopBits;
    m_nPortNumber = request.nNumber;
    m_openError = PortOpenError{};
    m_bRefusalTold = false;
    const Opening opening{configured, DeviceBehind(configured), nBaud, cParity, nDataBits, nStopBits, request.opened};
    m_bBehindServer = IsNetworkName(opening.strDevice);
    {
        std::lock_guard lock(m_traceMutex);
        m_strTraceName = configured;
    }
    const QString line = LineDefinition(nBaud, cParity, nDataBits, nStopBits);
    {
        std::lock_guard lock(m_mutex);
        // Commands meant for the previous connection are not sent on this one.
        m_writeQueue.clear();
        NewWriteEpoch();
        delete m_hPort; // an unmonitored device lives on this thread
        m_hPort = nullptr;
        m_waitingOpen.reset();
        m_nByteTimeNs = ByteTimeNs(nBaud, cParity, nDataBits, nStopBits);
        m_nCharBits = 1 + nDataBits + (cParity == 'N' ? 0 : 1) + nStopBits;
        // Opened before the earlier close has finished, the device would
        // have its settings restored under this opening and its last bytes
        // sent at this opening's rate.
        if (DeviceClosing(opening.strDevice)) {
            m_waitingOpen = opening;
            TraceLineState(true, u"opened (once its earlier close has finished), "_s + line);
            return true;
        }
    }
    QString failedStep;
    QString systemText;
    if (!OpenDevice(opening, &failedStep, &systemText)) {
        TraceLineState(false, u"cannot be opened: "_s + m_openError.strSystemText);
        return false;
    }
    TraceLineState(true, u"opened, "_s + line
                             + (m_bBehindServer ? u", round trip %1 ms"_s.arg(m_nRoundTripMs.load()) : QString()));
    // Reported outside the lock: the box runs a nested event loop.
    if (!failedStep.isEmpty())
        ReportSettingRefused(failedStep, systemText);
    m_bRefusalTold = !failedStep.isEmpty();
    return true;
}

bool CSerialPort::OpenDevice(const Opening& opening, QString* failedStep, QString* systemText)
{
    std::unique_ptr<CLineDevice> device;
    CLineDevice::OpenOutcome outcome;
    if (opening.opened && opening.opened->device && opening.opened->strDevice == opening.strConfigured) {
        OpenedDevice& opened = *opening.opened;
        device = std::move(opened.device);
        outcome = opened.outcome;
        if (!opened.bOpened) {
            m_openError = outcome.error;
            return false;
        }
    } else {
        // Opened outside the lock: a connect to a device server may take seconds.
        device = MakeLineDevice(opening.strDevice);
        const LineOpening settings{.nNumber = m_nPortNumber,
                                   .strDevice = opening.strConfigured,
                                   .nBaud = opening.nBaud,
                                   .cParity = opening.cParity,
                                   .nDataBits = opening.nDataBits,
                                   .nStopBits = opening.nStopBits};
        if (!device->Open(settings, opening.strDevice, &outcome)) {
            m_openError = outcome.error;
            return false;
        }
    }
    *failedStep = outcome.strFailedStep;
    *systemText = outcome.strSystemText;
    m_nRoundTripMs = device->RoundTripMs();
    std::lock_guard lock(m_mutex);
    m_hPort = device.release();
    m_strDevice = opening.strDevice;
    m_nOpenedByteTimeNs = ByteTimeNs(opening.nBaud, opening.cParity, opening.nDataBits, opening.nStopBits);
    return true;
}

bool CSerialPort::DeviceClosing(const QString& device) const
{
    return std::any_of(m_runs.begin(), m_runs.end(),
                       [&](const auto& run) { return !run->bDeviceClosed && run->strDevice == device; });
}

void CSerialPort::ForgetClosedRuns()
{
    std::erase_if(m_runs, [](const auto& run) {
        if (!run->bEnded || !run->thread->isFinished())
            return false;
        run->thread->wait(); // ended: returns at once
        return true;
    });
}

void CSerialPort::OnDeviceClosed()
{
    ForgetClosedRuns();
    Opening opening;
    {
        std::lock_guard lock(m_mutex);
        if (!m_waitingOpen || DeviceClosing(m_waitingOpen->strDevice))
            return;
        opening = *std::exchange(m_waitingOpen, std::nullopt);
    }
    QString failedStep;
    QString systemText;
    if (!OpenDevice(opening, &failedStep, &systemText)) {
        // The device went while its earlier close ran: the owner hears of it
        // as of any device that went away.
        {
            std::lock_guard lock(m_mutex);
            m_bStartDeferred = false;
            m_settledChanged.notify_all(); // what was handed over for it will never be sent
        }
        TraceLineState(false, u"cannot be opened: "_s + m_openError.strSystemText);
        ReportCommError(CommStepName(CommStep::Open), m_openError.strSystemText, true);
        TellLost();
        return;
    }
    if (m_bStartDeferred.exchange(false))
        StartMonitorNow();
    if (!failedStep.isEmpty())
        ReportSettingRefused(failedStep, systemText);
    m_bRefusalTold = !failedStep.isEmpty();
}

bool CSerialPort::Reaches(const QString& device) const
{
    Q_UNUSED(device);
    return true;
}

bool CSerialPort::StartMonitor()
{
    if (m_bMonitorRunning || m_bStartDeferred)
        return false;
    {
        std::lock_guard lock(m_mutex);
        if (m_waitingOpen) {
            m_bStopRequested = false;
            m_bStartDeferred = true;
            return true;
        }
    }
    return StartMonitorNow();
}

bool CSerialPort::StartMonitorNow()
{
    ForgetClosedRuns();
    std::lock_guard lock(m_mutex);
    if (!m_hPort || m_bMonitorRunning)
        return false;
    auto run = std::make_unique<MonitorRun>();
    run->strDevice = m_strDevice;
    run->thread.reset(QThread::create([this, monitored = run.get()] { MonitorThread(*monitored); }));
    m_nMonitorExitCode = -1;
    m_bStopRequested = false;
    m_nMonitorRun = ++m_nRun;
    m_nHeard = 0;
    m_nTold = 0;
    m_bMonitorRunning = 1;
    m_hPort->moveToThread(run->thread.get());
    run->thread->start();
    m_runs.push_back(std::move(run));
    return true;
}

void CSerialPort::SignalStop()
{
    // A running monitor says so itself once what it still sends has gone.
    TraceClosed(m_bMonitorRunning == 0);
    std::lock_guard lock(m_mutex);
    ++m_nRun; // what the monitor has posted to the owner and not yet delivered is dropped
    m_bStopRequested = true;
    m_bStartDeferred = false;
    if (m_waitingOpen) {
        // Never opened: what was handed over for it was never on its way.
        m_waitingOpen.reset();
        m_writeQueue.clear();
        NewWriteEpoch();
    }
    m_settledChanged.notify_all();
    if (m_pMonitorContext) {
        QEventLoop* loop = m_pMonitorLoop;
        PostCall(m_pMonitorContext, [loop] { loop->exit(kStopExitCode); });
    }
}

void CSerialPort::Close()
{
    StopMonitor();
    std::lock_guard lock(m_mutex);
    delete m_hPort; // an unmonitored device lives on this thread
    m_hPort = nullptr;
}

void CSerialPort::CloseAndWait()
{
    Close();
    for (const auto& run : m_runs) {
        run->thread->wait();
        [[maybe_unused]] const bool ended = run->bEnded.load();
    }
    m_runs.clear();
}

void CSerialPort::StopMonitor()
{
    SignalStop();
    // The monitor lets go as soon as its loop has seen the stop; the line's
    // drain and the device's close follow on its own.
    std::unique_lock lock(m_mutex);
    m_monitorLetGo.wait(lock, [this] { return m_bMonitorRunning == 0; });
}

WriteTicket CSerialPort::QueueWrite(const char* text)
{
    return QueueWrite(QByteArray(text));
}

WriteTicket CSerialPort::QueueWrite(const QByteArray& bytes, std::function<void()> onLine)
{
    return QueueBlocks(bytes, std::move(onLine), false);
}

WriteTicket CSerialPort::QueueImageWrite(const QByteArray& bytes)
{
    return QueueBlocks(bytes, {}, true);
}

WriteTicket CSerialPort::QueueBlocks(const QByteArray& bytes, std::function<void()> onLine, bool image)
{
    std::lock_guard lock(m_mutex);
    for (qsizetype at = 0; at < bytes.size(); at += m_nWriteBufSize) {
        const bool last = at + m_nWriteBufSize >= bytes.size();
        QueuedWrite block;
        block.bytes = bytes.mid(at, m_nWriteBufSize);
        if (last)
            block.onLine = std::move(onLine);
        block.bImage = image;
        Enqueue(std::move(block));
    }
    if (bytes.isEmpty() && onLine)
        Enqueue({QByteArray(), std::move(onLine)}); // once what went before has left the line
    m_nHandedOver += quint64(bytes.size());
    return {m_nWriteEpoch, m_nHandedOver};
}

void CSerialPort::SetRate(int nBaud)
{
    std::lock_guard lock(m_mutex);
    const qint64 byteTimeNs = nBaud > 0 ? qint64(m_nCharBits) * 1'000'000'000 / nBaud : 0;
    m_nByteTimeNs = byteTimeNs;
    if (m_waitingOpen)
        m_waitingOpen->nBaud = nBaud;
    QueuedWrite change;
    change.nNewBaud = nBaud;
    change.nNewByteTimeNs = byteTimeNs;
    Enqueue(std::move(change));
}

void CSerialPort::DecideEchoAgain()
{
    std::lock_guard lock(m_mutex);
    QueuedWrite decide;
    decide.bDecideEcho = true;
    Enqueue(std::move(decide));
}

void CSerialPort::Enqueue(QueuedWrite write)
{
    m_writeQueue.push_back(std::move(write));
    if (m_pMonitorContext && !m_bWritePosted) {
        m_bWritePosted = true;
        PostCall(m_pMonitorContext, [this] { ServiceWrite(); });
    }
}

CSerialPort::WriteState CSerialPort::WaitWritten(const WriteTicket& ticket, int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    const auto state = [&] {
        if (ticket.nEpoch != m_nWriteEpoch || m_bStopRequested || (!m_bMonitorRunning && !m_bStartDeferred))
            return WriteState::Dropped;
        return m_nSettled >= ticket.nEnd ? WriteState::Written : WriteState::Pending;
    };
    m_settledChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return state() != WriteState::Pending; });
    return state();
}

void CSerialPort::NewWriteEpoch()
{
    ++m_nWriteEpoch;
    m_nHandedOver = 0;
    m_nSettled = 0;
    m_settledChanged.notify_all();
}

void CSerialPort::Settle(qint64 bytes)
{
    std::lock_guard lock(m_mutex);
    m_nSettled += quint64(bytes);
    m_settledChanged.notify_all();
}

bool CSerialPort::IsOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_hPort != nullptr || m_waitingOpen.has_value();
}

bool CSerialPort::DevicesReleased() const
{
    return !IsOpen() && std::all_of(m_runs.begin(), m_runs.end(), [](const auto& run) { return run->bDeviceClosed.load(); });
}

int CSerialPort::MonitorExitCode() const
{
    return m_nMonitorExitCode;
}

int CSerialPort::MonitorThread(MonitorRun& run)
{
    CLineDevice* device = nullptr;
    {
        std::lock_guard lock(m_mutex);
        device = m_hPort;
        m_nLineByteTimeNs = m_nOpenedByteTimeNs;
    }
    m_errors = CCommErrors{};
    m_echo = CLocalEcho{};
    m_bLineEchoes = false;
    m_bDeviceLost = false;
    m_strHeldStep.clear();
    m_clock.start();
    m_nLineFreeNs = 0;
    device->Clear();

    int exitCode = kStopExitCode;
    {
        QEventLoop loop;
        QObject context;
        QTimer heldReport;
        heldReport.setSingleShot(true);
        heldReport.setInterval(kHeldErrorMs);
        m_pHeldReport = &heldReport;
        QObject::connect(&heldReport, &QTimer::timeout, &context, [this] { ReportHeldError(); });
        QObject::connect(device, &CLineDevice::readyRead, &context, [this] { OnCommEvent(); });
        QObject::connect(device, &CLineDevice::bytesWritten, &context, [this](qint64 bytes) {
            m_errors.OnGoodTransfer();
            Settle(bytes);
        });
        QObject::connect(device, &CLineDevice::settingRefused, &context, [this](const QString& text) {
            // Told once per opening: a search asks a server that keeps its rate for twelve.
            if (!m_bRefusalTold.exchange(true))
                ReportSettingRefused(u"RFC 2217"_s, text);
        });
        QObject::connect(device, &CLineDevice::errorOccurred, &context,
                         [this](QSerialPort::SerialPortError error) { OnDeviceError(error); });
        bool started = false;
        {
            std::lock_guard lock(m_mutex);
            if (!m_bStopRequested) {
                started = true;
                m_pMonitorContext = &context;
                m_pMonitorLoop = &loop;
                m_bWritePosted = !m_writeQueue.empty();
                if (m_bWritePosted)
                    PostCall(&context, [this] { ServiceWrite(); });
            }
        }
        if (started)
            exitCode = loop.exec();
        std::lock_guard lock(m_mutex);
        m_pMonitorContext = nullptr;
        m_pMonitorLoop = nullptr;
        m_bWritePosted = false;
        m_pHeldReport = nullptr;
    }
    const bool lost = m_bDeviceLost;
    exitCode = lost ? kDeviceLostExitCode : kStopExitCode;

    // Let go of the port: what is left to do needs only what is taken here,
    // and the owner may open the port again meanwhile.
    Drain drain;
    {
        std::lock_guard lock(m_mutex);
        if (!lost) // hand-overs made before the stop still reach the line, in order
            drain.writes.swap(m_writeQueue);
        drain.clock = m_clock;
        drain.nLineFreeNs = m_nLineFreeNs;
        drain.nByteTimeNs = m_nLineByteTimeNs;
        drain.errors = m_errors;
        // Taken, not shared: the next monitor may set its own while this one drains.
        drain.strHeldStep = std::exchange(m_strHeldStep, QString());
        drain.strHeldText = std::exchange(m_strHeldText, QString());
        drain.nPortNumber = m_nPortNumber;
        drain.trace = Trace(&drain.strTraceName);
        m_hPort = nullptr;
        if (lost)
            run.bDeviceClosed = true; // closed when it was found gone: a reopening need not wait
        m_nMonitorExitCode = exitCode;
        m_bMonitorRunning = 0;
        m_settledChanged.notify_all(); // nothing more will be written
        m_monitorLetGo.notify_all();
    }
    if (!lost) {
        SendAndClose(device, drain);
        if (drain.trace)
            drain.trace->Note(drain.strTraceName, u"closed"_s);
    }
    device->Close();
    delete device;
    run.bDeviceClosed = true;
    PostCall(&m_ownerContext, [this] { OnDeviceClosed(); });
    run.bEnded = true;
    return exitCode;
}

void CSerialPort::SendAndClose(CLineDevice* device, Drain& drain)
{
    for (const QueuedWrite& block : drain.writes) {
        if (block.bytes.isEmpty())
            continue;
        if (device->Write(block.bytes)) {
            if (drain.trace)
                TraceWrite(*drain.trace, drain.strTraceName, block);
            drain.nLineFreeNs = std::max(drain.clock.nsecsElapsed(), drain.nLineFreeNs)
                + block.bytes.size() * drain.nByteTimeNs;
            continue;
        }
        if (drain.strHeldStep.isEmpty()) {
            drain.strHeldStep = CCommErrors::StepName(QSerialPort::WriteError);
            drain.strHeldText = device->ErrorText();
        }
        device->ClearError();
        if (drain.errors.OnError(QSerialPort::WriteError) == CCommErrors::Verdict::DeviceLost)
            break;
    }
    // Until the driver has taken it all, then until it has sent it and the
    // last character is off the line: closing restores the line settings
    // from before the open.
    QElapsedTimer waited;
    waited.start();
    const auto left = [&] { return std::max<qint64>(0, kDrainOnStopMs - waited.elapsed()); };
    while (device->BytesToWrite() > 0 && left() > 0 && device->WaitForBytesWritten(int(left()))) {
    }
    while (left() > 0 && (device->PendingOutput() > 0 || drain.clock.nsecsElapsed() < drain.nLineFreeNs))
        QThread::msleep(1);
    if (!drain.strHeldStep.isEmpty()) // the owner stopped before the report was due
        qWarning("%s failed on COM%u: %s", qPrintable(drain.strHeldStep), drain.nPortNumber,
                 qPrintable(drain.strHeldText));
}

void CSerialPort::OnCommEvent()
{
    if (m_bDeviceLost || m_bStopRequested)
        return;
    const QByteArray heard = m_hPort->ReadAll();
    if (!heard.isEmpty())
        m_errors.OnGoodTransfer();
    const QByteArray bytes = m_echo.Received(heard);
    QString name;
    const std::shared_ptr<CLineTrace> trace = Trace(&name);
    if (m_echo.LineState() == CLocalEcho::State::Echoes && !m_bLineEchoes.exchange(true) && trace)
        trace->Note(name, u"the line echoes what is sent; the echo is left out of what is received"_s);
    if (bytes.isEmpty())
        return;
    if (trace)
        trace->Received(name, bytes);
    m_nHeard += quint64(bytes.size());
    // The monitor goes on at once, so writes never wait behind the owner.
    ToOwner([this, bytes] {
        m_nTold += quint64(bytes.size());
        if (m_listener.received)
            m_listener.received(bytes);
    });
}

void CSerialPort::ServiceWrite()
{
    std::deque<QueuedWrite> blocks;
    {
        std::lock_guard lock(m_mutex);
        blocks.swap(m_writeQueue);
        m_bWritePosted = false;
    }
    QString traceName;
    const std::shared_ptr<CLineTrace> trace = Trace(&traceName);
    for (QueuedWrite& block : blocks) {
        if (m_bDeviceLost)
            return;
        if (block.bDecideEcho) {
            m_echo.DecideAgain();
            continue;
        }
        if (block.nNewBaud > 0) {
            ChangeRate(block);
            continue;
        }
        if (!block.bytes.isEmpty()) {
            m_echo.Sent(block.bytes);
            if (!m_hPort->Write(block.bytes)) {
                Settle(block.bytes.size());
                OnDeviceError(QSerialPort::WriteError);
            } else {
                m_nLineFreeNs = std::max(m_clock.nsecsElapsed(), m_nLineFreeNs) + block.bytes.size() * m_nLineByteTimeNs;
                if (trace)
                    TraceWrite(*trace, traceName, block);
            }
        }
        if (block.onLine)
            WhenOnLine(std::move(block.onLine));
    }
}

void CSerialPort::ChangeRate(const QueuedWrite& block)
{
    // A character still on its way would be cut in two by the new rate.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kDrainOnStopMs
           && (m_hPort->PendingOutput() > 0 || m_clock.nsecsElapsed() < m_nLineFreeNs))
        QThread::msleep(1);
    m_echo.DecideAgain();
    QString systemText;
    const bool set = m_hPort->SetRate(block.nNewBaud, &systemText);
    m_nRoundTripMs = m_hPort->RoundTripMs();
    if (!set) {
        ReportSettingRefused(CommStepName(CommStep::SetLine), systemText);
        return;
    }
    m_nLineByteTimeNs = block.nNewByteTimeNs;
    QString name;
    if (const std::shared_ptr<CLineTrace> trace = Trace(&name))
        trace->Note(name, u"rate now %1 baud"_s.arg(block.nNewBaud));
}

void CSerialPort::WhenOnLine(std::function<void()> onLine)
{
    if (!m_pMonitorContext)
        return; // stopping: the owner hears nothing more of this run
    const qint64 leftNs = std::max<qint64>(0, m_nLineFreeNs - m_clock.nsecsElapsed());
    const int leftMs = int((leftNs + 999'999) / 1'000'000);
    QTimer::singleShot(leftMs, Qt::PreciseTimer, m_pMonitorContext,
                       [this, onLine = std::move(onLine)] { ToOwner(onLine); });
}

void CSerialPort::OnDeviceError(QSerialPort::SerialPortError error)
{
    if (m_bDeviceLost)
        return;
    const CCommErrors::Verdict verdict = m_errors.OnError(error);
    if (verdict == CCommErrors::Verdict::Ignore)
        return;
    const QString systemText = m_hPort->ErrorText();
    m_hPort->ClearError();
    if (verdict == CCommErrors::Verdict::Hold) {
        if (m_strHeldStep.isEmpty()) {
            m_strHeldStep = CCommErrors::StepName(error);
            m_strHeldText = systemText;
        }
        if (m_pHeldReport)
            m_pHeldReport->start();
        return;
    }

    // Gone: one report, named after the first error of the run, with what
    // the OS says now. Closed before the box, so no further errors pile up.
    m_bDeviceLost = true;
    if (m_pHeldReport)
        m_pHeldReport->stop();
    const QString step = m_strHeldStep.isEmpty() ? CCommErrors::StepName(error) : std::exchange(m_strHeldStep, QString());
    m_hPort->Close();
    TraceLineState(false, u"lost: "_s + systemText);
    ReportCommError(step, systemText, true);
    ToOwner([this] { TellLost(); });
    std::lock_guard lock(m_mutex);
    if (m_pMonitorLoop)
        m_pMonitorLoop->exit(kDeviceLostExitCode);
}

void CSerialPort::ReportHeldError()
{
    if (m_strHeldStep.isEmpty() || m_bDeviceLost)
        return;
    const QString step = std::exchange(m_strHeldStep, QString());
    ReportCommError(step, m_strHeldText);
}

void CSerialPort::TellLost()
{
    if (m_listener.lost)
        m_listener.lost();
}

void CSerialPort::ToOwner(std::function<void()> fn)
{
    // Posted on the monitor thread, run on the owner's: only while the run
    // that posted it lasts.
    const quint64 run = m_nMonitorRun;
    PostCall(&m_ownerContext, [this, run, fn = std::move(fn)] {
        if (m_nRun == run)
            fn();
    });
}

void CSerialPort::ReportSettingRefused(const QString& step, const QString& systemText)
{
    Report({.strStep = step,
            .strSystemText = systemText,
            .nPortNumber = m_nPortNumber,
            .bBehindServer = m_bBehindServer,
            .bSettingRefused = true});
}

void CSerialPort::ReportCommError(const QString& step, const QString& systemText, bool deviceLost)
{
    Report({.strStep = step,
            .strSystemText = systemText,
            .nPortNumber = m_nPortNumber,
            .bDeviceLost = deviceLost,
            .bBehindServer = m_bBehindServer});
}

void CSerialPort::Report(const CommErrorReport& report)
{
    const CommErrorReporter reporter = m_errorReporter ? m_errorReporter : WarnCommError;
    if (QThread::currentThread() == m_ownerContext.thread())
        reporter(report); // Open's own report, on the owner's thread
    else
        ToOwner([reporter, report] { reporter(report); });
}

void CSerialPort::SetTrace(std::shared_ptr<CLineTrace> trace)
{
    std::lock_guard lock(m_traceMutex);
    if (trace && trace != m_trace && m_bTracedUp)
        trace->Note(m_strTraceName, u"traced from here on; the port was open already"_s);
    m_trace = std::move(trace);
}

std::shared_ptr<CLineTrace> CSerialPort::Trace(QString* name) const
{
    std::lock_guard lock(m_traceMutex);
    if (m_trace)
        *name = m_strTraceName;
    return m_trace;
}

void CSerialPort::TraceWrite(CLineTrace& trace, const QString& name, const QueuedWrite& block)
{
    if (block.bImage)
        trace.SentImage(name, block.bytes.size());
    else
        trace.Sent(name, block.bytes);
}

void CSerialPort::TraceLineState(bool up, const QString& text)
{
    std::lock_guard lock(m_traceMutex);
    m_bTracedUp = up;
    if (m_trace)
        m_trace->Note(m_strTraceName, text);
}

void CSerialPort::TraceClosed(bool say)
{
    std::lock_guard lock(m_traceMutex);
    if (std::exchange(m_bTracedUp, false) && say && m_trace) // a second stop says nothing
        m_trace->Note(m_strTraceName, u"closed"_s);
}
