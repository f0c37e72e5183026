#include "camera_link.h"

#include "protocol/link_protocol.h"
#include "protocol/read_cycle.h"
#include "protocol/register_map.h"
#include "line_settings.h"
#include "port_message.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int kReplyWaitMs = 2000; // as the window's no-reply check after opening
constexpr int kWakeMs = 20;        // how often a wait looks at Ctrl-C
constexpr quint32 kEvents = CommEvent::RxChar;

} // namespace

std::atomic<bool> CCameraLink::s_bInterrupted{false};

CCameraLink::CCameraLink(QTextStream& err)
{
    m_port.SetErrorReporter([this, &err](const CommErrorReport& report) {
        if (report.bDeviceLost) {
            m_strLossReason = report.strSystemText;
            return;
        }
        const QString what = report.strStep.startsWith(u"Read")    ? u"reading from it"_s
                             : report.strStep.startsWith(u"Write") ? u"writing to it"_s
                                                                   : u"setting up the line"_s;
        err << u"orvane-cli: %1: %2 failed: %3"_s.arg(m_strPort, what, report.strSystemText) << Qt::endl;
    });
}

QString CCameraLink::LossText() const
{
    return m_strLossReason.isEmpty() ? u"%1 went away"_s.arg(m_strPort)
                                     : u"%1 went away (%2)"_s.arg(m_strPort, m_strLossReason);
}

CCameraLink::~CCameraLink()
{
    Close();
}

bool CCameraLink::Open(const QString& port, int baud, QString* error)
{
    static const QRegularExpression comName(u"^COM([1-9][0-9]{0,2})$"_s, QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch com = comName.match(port);
    const unsigned number = com.hasMatch() ? com.captured(1).toUInt() : 0;
    const QString device = com.hasMatch() ? ResolvePortName(number) : port;
    m_strPort = device == port ? port : u"%1 (%2)"_s.arg(port, device);
    m_bLost = false;
    m_strLossReason.clear();
    m_received.clear();
    if (!m_port.OpenDevice(this, number, device, baud, 'N', 8, 1, kEvents)) {
        const PortOpenError& failure = m_port.OpenError();
        *error = u"cannot open %1: %2"_s.arg(m_strPort, failure.strSystemText);
        if (failure.bAccessDenied)
            *error += u"\nhint: this user may not use the port; add it to the dialout group "
                      "(sudo usermod -aG dialout $USER) and log in again"_s;
        return false;
    }
    m_port.StartMonitor();
    return true;
}

void CCameraLink::Close()
{
    m_port.Close();
}

bool CCameraLink::event(QEvent* event)
{
    if (event->type() == PortEventType(PortMessage::ReceiveChar)) {
        m_received.push_back(static_cast<char>(static_cast<CPortMessageEvent*>(event)->WParam()));
        return true;
    }
    if (event->type() == PortEventType(PortMessage::DeviceLost)) {
        m_bLost = true;
        return true;
    }
    return QObject::event(event);
}

bool CCameraLink::WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline = timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
    QTimer wake; // so that the wait below returns to look at the clock and Ctrl-C
    wake.start(kWakeMs);
    while (!done()) {
        if (deadline.hasExpired() || s_bInterrupted)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

int CCameraLink::NextChar(int timeoutMs)
{
    if (!WaitUntil([this] { return !m_received.empty() || m_bLost; }, timeoutMs) || m_received.empty())
        return -1;
    const char ch = m_received.front();
    m_received.pop_front();
    return static_cast<unsigned char>(ch);
}

void CCameraLink::Write(const RegisterWrite& write)
{
    m_port.QueueWrite(FormatWriteCommand(write.nValue, write.nRegister));
    QThread::msleep(kWritePauseMs);
}

bool CCameraLink::ReadConfiguration(QString* error)
{
    CReadCycle cycle;
    m_received.clear();
    m_port.QueueWrite(cycle.Start());
    for (;;) {
        const int ch = NextChar(kReplyWaitMs);
        if (ch < 0) {
            *error = s_bInterrupted ? u"interrupted"_s
                     : m_bLost      ? LossText() + u" during the read"_s
                                    : u"the camera on %1 did not answer within %2 ms (register %3 of %4)"_s.arg(m_strPort)
                                     .arg(kReplyWaitMs)
                                     .arg(cycle.ReadIndex() + 1)
                                     .arg(kReadListSize);
            return false;
        }
        switch (cycle.Receive(static_cast<char>(ch))) {
        case CReadCycle::Step::Collecting:
        case CReadCycle::Step::Dropped:
            break;
        case CReadCycle::Step::RequestNext:
            QThread::msleep(kReadPauseMs);
            m_port.QueueWrite(cycle.NextRequest());
            break;
        case CReadCycle::Step::Complete: {
            unsigned char bytes[512];
            const int count = HexToBytes(cycle.TakeReply(), bytes, sizeof bytes);
            if (!StoreConfiguration(bytes, count, &m_registers)) {
                *error = u"the camera on %1 answered, but not with %2 registers"_s.arg(m_strPort).arg(kReadListSize);
                return false;
            }
            return true;
        }
        }
    }
}
