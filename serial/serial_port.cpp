#include "serial/serial_port.h"

#include "common/message_box.h"
#include "serial/line_settings.h"
#include "serial/monitor_thread.h"
#include "serial/post_call.h"
#include "serial/port_message.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

// How long a stop waits for queued bytes to reach the device.
constexpr int kFlushOnStopMs = 1000;

// Notifications sent after the received bytes on every wake-up, in this
// order, for each bit present in the event mask.
struct MaskedMessage {
    quint32 bit;
    int message;
};
constexpr MaskedMessage kMaskedMessages[] = {
    {CommEvent::Cts, PortMessage::Cts},   {CommEvent::Break, PortMessage::Break},
    {CommEvent::Err, PortMessage::Err},   {CommEvent::Ring, PortMessage::Ring},
    {CommEvent::RxFlag, PortMessage::RxFlag},
};

// Applies the settings; the name of the failing step, or empty.
QString ApplyLineSettings(QSerialPort& port, int nBaud, char cParity, int nDataBits, int nStopBits)
{
    const std::optional<LineSettings> settings = BuildLineSettings(nBaud, cParity, nDataBits, nStopBits);
    if (!settings)
        return u"BuildCommDCB()"_s;
    const bool applied = port.setBaudRate(settings->nBaud) && port.setParity(settings->parity)
        && port.setDataBits(settings->dataBits) && port.setStopBits(settings->stopBits)
        && port.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied)
        return u"SetCommState()"_s;
    // Devices without modem lines (a pseudo-terminal) refuse RTS; that is expected.
    if (!port.setRequestToSend(true) && port.error() != QSerialPort::UnsupportedOperationError)
        return u"SetCommState()"_s;
    port.clearError();
    return QString();
}

} // namespace

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort()
{
    StopMonitorAndWait();
    QMutexLocker lock(&m_lock);
    delete m_hPort;
}

bool CSerialPort::Open(QObject* pOwner, unsigned nPort, int nBaud, char cParity, int nDataBits, int nStopBits,
                       quint32 dwEventMask)
{
    StopMonitorAndWait();

    m_pOwnerWnd = pOwner;
    m_nPortNumber = nPort;
    m_dwEventMask = dwEventMask;
    {
        // Commands meant for the previous connection are not sent on this one.
        std::lock_guard lock(m_writeMutex);
        m_writeQueue.clear();
    }

    QString failedStep;
    QString systemText;
    {
        QMutexLocker lock(&m_lock);
        delete m_hPort;
        m_hPort = nullptr;

        auto device = std::make_unique<QSerialPort>();
        device->setPortName(ResolvePortName(nPort));
        if (!device->open(QIODevice::ReadWrite))
            return false;

        failedStep = ApplyLineSettings(*device, nBaud, cParity, nDataBits, nStopBits);
        if (failedStep == u"BuildCommDCB()")
            systemText = u"The parameter is incorrect. (%1)"_s.arg(LineDefinition(nBaud, cParity, nDataBits, nStopBits));
        else if (!failedStep.isEmpty())
            systemText = device->errorString();
        device->clearError();
        device->clear();
        m_hPort = device.release();
    }
    // Reported outside the lock: the box runs a nested event loop.
    if (!failedStep.isEmpty())
        ReportCommError(failedStep, systemText);
    return true;
}

bool CSerialPort::StartMonitor()
{
    if (m_bMonitorRunning)
        return false;
    if (m_pMonitor)
        StopMonitorAndWait(); // a monitor that ended by itself (device lost) may still be finishing

    QMutexLocker lock(&m_lock);
    if (!m_hPort)
        return false;
    m_pMonitor = std::make_unique<CMonitorThread>(*this);
    m_bStopRequested = false;
    m_ownerCalls.Reset();
    m_bMonitorRunning = 1;
    m_hPort->moveToThread(m_pMonitor.get());
    m_pMonitor->start();
    return true;
}

void CSerialPort::SignalStop()
{
    {
        std::lock_guard lock(m_writeMutex);
        m_bStopRequested = true;
        if (m_pMonitorContext) {
            QEventLoop* loop = m_pMonitorLoop;
            PostCall(m_pMonitorContext, [loop] { loop->exit(kStopExitCode); });
        }
    }
    m_ownerCalls.Abandon();
}

void CSerialPort::StopMonitorAndWait()
{
    SignalStop();
    if (m_pMonitor) {
        m_pMonitor->wait();
        // The exit code is the thread's last write; reading it orders everything
        // the thread did before what this thread does next, also for tools that
        // do not see inside QThread::wait().
        [[maybe_unused]] const int exitCode = m_pMonitor->ExitCode();
    }
}

void CSerialPort::QueueWrite(const char* text)
{
    QueueWrite(QByteArray(text));
}

void CSerialPort::QueueWrite(const QByteArray& bytes)
{
    std::lock_guard lock(m_writeMutex);
    for (qsizetype at = 0; at < bytes.size(); at += m_nWriteBufSize)
        m_writeQueue.push_back(bytes.mid(at, m_nWriteBufSize));
    if (m_pMonitorContext && !m_bWritePosted && !m_writeQueue.empty()) {
        m_bWritePosted = true;
        PostCall(m_pMonitorContext, [this] { ServiceWrite(); });
    }
}

bool CSerialPort::IsOpen() const
{
    QMutexLocker lock(&m_lock);
    return m_hPort != nullptr;
}

int CSerialPort::MonitorExitCode() const
{
    return m_pMonitor ? m_pMonitor->ExitCode() : -1;
}

int CSerialPort::MonitorThread()
{
    QSerialPort* device = nullptr;
    {
        QMutexLocker lock(&m_lock);
        device = m_hPort;
    }
    m_nReadWriteErrors = 0;
    m_bDeviceLost = false;
    device->clear();

    int exitCode = kStopExitCode;
    {
        QEventLoop loop;
        QObject context;
        QObject::connect(device, &QSerialPort::readyRead, &context, [this] { OnCommEvent(); });
        QObject::connect(device, &QSerialPort::errorOccurred, &context,
                         [this](QSerialPort::SerialPortError error) { OnDeviceError(error); });
        bool run = false;
        {
            std::lock_guard lock(m_writeMutex);
            if (!m_bStopRequested) {
                run = true;
                m_pMonitorContext = &context;
                m_pMonitorLoop = &loop;
                m_bWritePosted = !m_writeQueue.empty();
                if (m_bWritePosted)
                    PostCall(&context, [this] { ServiceWrite(); });
            }
        }
        if (run)
            exitCode = loop.exec();
        std::lock_guard lock(m_writeMutex);
        m_pMonitorContext = nullptr;
        m_pMonitorLoop = nullptr;
        m_bWritePosted = false;
    }
    if (m_bStopRequested)
        exitCode = kStopExitCode;
    if (!m_bDeviceLost) {
        // Hand-overs made before the stop still reach the line, in order.
        ServiceWrite();
        QElapsedTimer flushing;
        flushing.start();
        while (device->bytesToWrite() > 0 && flushing.elapsed() < kFlushOnStopMs
               && device->waitForBytesWritten(kFlushOnStopMs)) {
        }
    }

    {
        QMutexLocker lock(&m_lock);
        device->close();
        delete device;
        m_hPort = nullptr;
    }
    m_bMonitorRunning = 0;
    return exitCode;
}

void CSerialPort::OnCommEvent()
{
    if (m_dwEventMask & CommEvent::RxChar)
        DrainReceive();
    for (const MaskedMessage& entry : kMaskedMessages) {
        if ((m_dwEventMask & entry.bit) && !m_bStopRequested)
            NotifyOwner(entry.message, 0);
    }
}

void CSerialPort::DrainReceive()
{
    const QByteArray bytes = m_hPort->readAll();
    if (!bytes.isEmpty())
        m_nReadWriteErrors = 0;
    // One synchronous notification per byte, in arrival order; a stop drops the rest.
    for (const char byte : bytes) {
        if (m_bStopRequested)
            return;
        NotifyOwner(PortMessage::ReceiveChar, static_cast<unsigned char>(byte));
    }
}

void CSerialPort::ServiceWrite()
{
    std::deque<QByteArray> blocks;
    {
        std::lock_guard lock(m_writeMutex);
        blocks.swap(m_writeQueue);
        m_bWritePosted = false;
    }
    for (const QByteArray& block : blocks) {
        if (m_bDeviceLost)
            return;
        m_hPort->write(block);
    }
}

void CSerialPort::OnDeviceError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || m_bDeviceLost)
        return;
    // A pseudo-terminal whose far end closed reports ReadError over and over;
    // an unplugged adapter reports ResourceError. Either way the device is gone:
    // report it once and end monitoring, so the port counts as closed.
    const bool gone = error == QSerialPort::ResourceError
        || ((error == QSerialPort::ReadError || error == QSerialPort::WriteError) && ++m_nReadWriteErrors >= 2);
    if (!gone) {
        m_hPort->clearError();
        return;
    }
    m_bDeviceLost = true;
    const QString step = error == QSerialPort::WriteError ? u"WriteFile()"_s : u"ReadFile()"_s;
    const QString systemText = m_hPort->errorString();
    // Close before the box: no further errors pile up while it is shown.
    m_hPort->close();
    ReportCommError(step, systemText);
    NotifyOwner(PortMessage::DeviceLost, 0);
    std::lock_guard lock(m_writeMutex);
    if (m_pMonitorLoop)
        m_pMonitorLoop->exit(kDeviceLostExitCode);
}

void CSerialPort::NotifyOwner(int message, unsigned wParam)
{
    QObject* owner = m_pOwnerWnd;
    if (!owner)
        return;
    const unsigned portNumber = m_nPortNumber;
    m_ownerCalls.Call(owner, [owner, message, wParam, portNumber] {
        CPortMessageEvent event(message, wParam, portNumber);
        QCoreApplication::sendEvent(owner, &event);
    });
}

void CSerialPort::ReportCommError(const QString& step, const QString& systemText)
{
    const QString text = u"WARNING:  %1 Failed with the following error: \n%2\nPort: %3\n"_s
                             .arg(step, systemText)
                             .arg(m_nPortNumber);
    QObject* context = m_pOwnerWnd ? m_pOwnerWnd : QCoreApplication::instance();
    if (!context) {
        MessageBox(text, u"Application Error"_s, MessageIcon::Stop);
        return;
    }
    // Shown by the GUI thread while this thread waits; a stop releases the wait.
    m_ownerCalls.Call(context, [text] { MessageBox(text, u"Application Error"_s, MessageIcon::Stop); });
}
