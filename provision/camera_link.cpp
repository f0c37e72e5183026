#include "provision/camera_link.h"

#include "core/config/com_ports.h"
#include "core/config/network_address.h"
#include "core/config/printable_text.h"
#include "core/firmware/package_reader.h"
#include "core/protocol/link_protocol.h"
#include "provision/port_hints.h"
#include "serial/comm_errors.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWakeMs = 20;        // how often a wait looks at Ctrl-C
constexpr int kDrainOnCloseMs = 5000; // for what is still paced out when the link closes

} // namespace

std::atomic<bool> CCameraLink::s_bInterrupted{false};
std::atomic<int> CCameraLink::s_nInterrupts{0};
std::atomic<qint64> CCameraLink::s_nLastInterruptMs{0};
std::shared_ptr<CLineTrace> CCameraLink::s_trace;

CCameraLink::CCameraLink(std::function<void(const QString&)> tell)
    : m_tell(std::move(tell)), m_connection({.configurationRead = [this] { m_bCycleDone = true; },
                    .readFailed =
                        [this](const ReadFailure& failure) {
                            m_bCycleDone = true;
                            m_failure = failure;
                        },
                    .lost =
                        [this] {
                            m_lostOpening = m_session.Openings();
                            ++m_nLosses;
                        },
                    .changed = {},
                    .backupNotKept =
                        [this](const QString& why) {
                            m_tell(u"warning: the camera's settings were not backed up (%1); the write goes ahead"_s
                                     .arg(why));
                        }})
{
    m_connection.SetTrace(s_trace);
    m_connection.SetErrorReporter([this](const CommErrorReport& report) {
        if (report.bDeviceLost)
            return; // LossText() words it
        const QString what = report.strStep == CommStepName(CommStep::Read)    ? u"reading from it"_s
                             : report.strStep == CommStepName(CommStep::Write) ? u"writing to it"_s
                                                                               : u"setting up the line"_s;
        m_tell(u"%1: %2 failed: %3"_s.arg(m_strPort, what, report.strSystemText));
    });
}

CCameraLink::~CCameraLink()
{
    Close();
}

QString CCameraLink::LossText() const
{
    const QString& reason = m_connection.LossReason();
    return reason.isEmpty() ? u"%1 went away"_s.arg(m_strPort) : u"%1 went away (%2)"_s.arg(m_strPort, reason);
}

bool CCameraLink::Open(const QString& port, int baud, QString* error)
{
    const NamedPort named = ResolvePort(port);
    // Named in every message: a name with control characters must not act on the terminal.
    m_strPort = PrintableName(named.strDevice == port ? port : u"%1 (%2)"_s.arg(port, named.strDevice));
    m_lostOpening.reset();
    m_nBaud = baud;
    m_failureStep.reset();
    if (!m_connection.Open({.nNumber = named.nComNumber, .strDevice = named.strDevice, .nBaud = baud})) {
        *error = OpenFailureText();
        const PortOpenError& failure = m_connection.OpenError();
        if (failure.bHeld)
            m_failureStep = NextStep::FreePort;
        else if (IsNetworkName(named.strDevice))
            m_failureStep = NextStep::CheckServer;
        else if (!named.strDevice.isEmpty() && !QFileInfo::exists(named.strDevice))
            m_failureStep = NextStep::ReplugAdapter;
        return false;
    }
    return true;
}

QString CCameraLink::OpenFailureText() const
{
    const PortOpenError& failure = m_connection.OpenError();
    QString text = u"cannot open %1: %2"_s.arg(m_strPort, failure.strSystemText);
    const QString hints = failure.bAccessDenied ? AccessHints(failure.strDevice)
                          : failure.bHeld       ? HeldHints(failure.strDevice)
                                                : QString();
    return hints.isEmpty() ? text : text + u'\n' + hints;
}

bool CCameraLink::Answers(int reg)
{
    bool answered = false;
    QByteArray heard;
    const auto take = [&](char ch) {
        heard.append(ch);
        answered = answered || (heard.size() >= 4 && IsRegisterAnswer(heard.right(4)));
        return true;
    };
    const CCameraSession::Listening listening = m_session.Listen(CCameraSession::Rank::Search, {.take = take});
    m_session.Sender().Send(FormatReadCommand(reg));
    // Counted from the hand-over: the wait covers the request's own time on the line.
    WaitUntil([&] { return answered || DeviceLost(); }, m_session.AnswerWaitAt(m_nBaud));
    return answered;
}

void CCameraLink::Drain()
{
    // Ctrl-C does not cut this wait short: the "R" that releases the camera may be in it.
    RunEventsUntil([this] { return m_session.Sender().IsIdle() || DeviceLost(); }, QDeadlineTimer(kDrainOnCloseMs), 0);
    m_session.Sender().Cancel();
}

void CCameraLink::Close()
{
    Drain();
    Line().CloseAndWait(); // the command line waits until the device is closed
}

bool CCameraLink::WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    return RunEventsUntil(done, timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs), 1);
}

bool CCameraLink::WaitUntilInterruptedAgain(const std::function<bool()>& done)
{
    return RunEventsUntil(done, QDeadlineTimer(QDeadlineTimer::Forever), 2);
}

bool CCameraLink::RunEventsUntil(const std::function<bool()>& done, QDeadlineTimer deadline, int interruptsToStop)
{
    QTimer wake; // so that the wait below returns to look at the clock and Ctrl-C
    wake.start(kWakeMs);
    const auto interrupted = [&] { return interruptsToStop > 0 && s_nInterrupts >= interruptsToStop; };
    while (!done()) {
        if (deadline.hasExpired() || interrupted())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void CCameraLink::Write(const RegisterWrite& write)
{
    m_session.WriteRegister(write.nValue, write.nRegister);
}

void CCameraLink::Send(const QByteArray& bytes, int pauseAfterMs)
{
    m_session.Sender().Send(bytes, pauseAfterMs);
}

void CCameraLink::Pause(int ms)
{
    m_session.Sender().Pause(ms);
}

bool CCameraLink::WaitUntilSent()
{
    if (WaitUntil([this] { return m_session.Sender().IsIdle() || DeviceLost(); }, -1) && m_session.Sender().IsIdle())
        return true;
    m_session.Sender().Cancel();
    return false;
}

bool CCameraLink::ReadConfiguration(QString* error)
{
    m_bCycleDone = false;
    m_failure.reset();
    m_failureStep.reset();
    m_session.ReadCycle();
    if (!WaitUntil([this] { return m_bCycleDone || DeviceLost(); }, -1) || !m_bCycleDone) {
        *error = DeviceLost() ? LossText() + u" during the read"_s : u"interrupted"_s;
        if (DeviceLost())
            m_failureStep = LostLineStep();
        m_session.Sender().Cancel();
        m_session.EndCycle();
        return false;
    }
    if (m_failure) {
        *error = ReadFailureText(*m_failure);
        // A server that set another rate than asked is named, and checked first.
        const QString& refused = m_connection.RefusedByServer();
        if (!refused.isEmpty())
            *error += u"; "_s + refused;
        m_failureStep = refused.isEmpty() ? NextStep::SearchOrRecover : NextStep::CheckServer;
        return false;
    }
    return true;
}

QString CCameraLink::ReadFailureText(const ReadFailure& failure) const
{
    const QString reg = u"0x%1"_s.arg(failure.nRegister, 2, 16, QChar(u'0')).toUpper().replace(u"0X"_s, u"0x"_s);
    const QString answer = PrintableName(QString::fromLatin1(failure.answer));
    const auto what = [&] {
        switch (failure.What()) {
        case ReadFailure::Kind::NoAnswer: return u"did not answer register %1"_s.arg(reg);
        case ReadFailure::Kind::CutShort: return u"answered register %1 only in part (\"%2\")"_s.arg(reg, answer);
        case ReadFailure::Kind::Malformed: break;
        }
        return u"answered register %1 with \"%2\", not two hex digits and CR LF"_s.arg(reg, answer);
    };
    return u"the camera on %1 %2 (read %3 times, %4 ms for each answer)"_s.arg(m_strPort, what())
        .arg(failure.nTries)
        .arg(m_session.AnswerWaitAt(m_nBaud));
}

NextStep CCameraLink::LostLineStep() const
{
    return NextStepForLostLine(IsNetworkName(ResolvePort(m_strPort).strDevice));
}
