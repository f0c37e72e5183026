#include "session/camera_session.h"

#include "serial/port_message.h"
#include "core/protocol/link_protocol.h"

namespace {

// A line that never falls quiet after a failed try (a camera babbling) is
// tried again after this many answer waits all the same.
constexpr int kDrainWaitsMax = 4;

} // namespace

CCameraSession::CCameraSession(Events events)
    : m_events(std::move(events)),
      m_sender([this](const QByteArray& bytes, std::function<void()> onLine) {
          m_port.QueueWrite(bytes, std::move(onLine));
      })
{
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_answerTimer, &QTimer::timeout, this, [this] { OnAnswerMissing(); });
    m_drainTimer.setSingleShot(true);
    connect(&m_drainTimer, &QTimer::timeout, this, [this] { OnDrained(); });
}

CCameraSession::~CCameraSession()
{
    // Stopped while every member is whole: the monitor may still deliver.
    m_port.Close();
    m_sender.Cancel();
}

bool CCameraSession::Open(unsigned number, const QString& device, int baud, char parity, int dataBits, int stopBits,
                          quint32 eventMask)
{
    m_lastOpen = {number, device, baud, parity, dataBits, stopBits, eventMask};
    return Reopen();
}

bool CCameraSession::Reopen()
{
    const OpenRequest& open = m_lastOpen;
    m_nAnswerWaitMs = AnswerWaitMs(open.nBaud);
    return m_port.Open(this, open.nNumber, open.strDevice, open.nBaud, open.cParity, open.nDataBits, open.nStopBits,
                       open.nEventMask);
}

void CCameraSession::SetRate(int baud)
{
    m_lastOpen.nBaud = baud;
    // After what waits in the sender, which was meant for the old rate.
    m_sender.Then([this, baud] {
        m_nAnswerWaitMs = AnswerWaitMs(baud);
        m_port.SetRate(baud);
    });
}

void CCameraSession::ReadCycle()
{
    const bool underWay = Reading();
    ++m_nCycleRun; // a start queued earlier gives way to this one
    m_nTry = 0;
    if (!underWay) {
        QueueCycleStart();
        return;
    }
    // The answers still due to the cycle under way must not count for this one.
    ++m_nRequest;
    m_answerTimer.stop();
    m_drainTimer.stop(); // counted again from when what is queued now is out
    m_cycle.End();
    Drain();
}

void CCameraSession::QueueCycleStart()
{
    m_sender.Then([this, run = m_nCycleRun] {
        if (run != m_nCycleRun)
            return;
        m_bRetryDue = false;
        if (m_nTry > 0)
            m_port.DecideEchoAgain();
        SendRequest(m_cycle.Start());
    });
}

void CCameraSession::SendRequest(const QByteArray& request)
{
    // On a slow line a request may wait behind paced writes: its answer's
    // wait begins once it has left the line, not when it was handed over.
    m_sender.Send(request, 0, [this, id = ++m_nRequest] {
        if (id != m_nRequest)
            return;
        m_answerClock.restart();
        m_answerTimer.start(m_nAnswerWaitMs);
    });
}

void CCameraSession::FeedCycle(char ch)
{
    if (m_bDraining) {
        // The rest of a failed try: the line is not quiet yet.
        if (m_drainTimer.isActive() && m_drainClock.elapsed() < kDrainWaitsMax * m_nAnswerWaitMs)
            m_drainTimer.start(m_nAnswerWaitMs);
        return;
    }
    const CReadCycle::Step step = m_cycle.Receive(ch);
    if (step == CReadCycle::Step::Collecting || step == CReadCycle::Step::Dropped)
        return; // a group that belongs to no cycle is dropped whole
    m_answerTimer.stop();
    ++m_nRequest;
    const int answered = m_cycle.ReadIndex() - 1;
    const QByteArray group = m_cycle.Reply().right(4);
    if (!IsRegisterAnswer(group)) {
        FailCycle(answered, group);
        return;
    }
    if (step == CReadCycle::Step::RequestNext) {
        m_sender.Pause(kReadPauseMs);
        m_sender.Then([this, run = m_nCycleRun] {
            if (run == m_nCycleRun && m_cycle.ReadIndex() >= 0) // not when the cycle ended meanwhile
                SendRequest(m_cycle.NextRequest());
        });
        return;
    }
    unsigned char bytes[kReadListSize];
    const int count = HexToBytes(m_cycle.TakeReply(), bytes, kReadListSize);
    StoreConfiguration(bytes, count, &m_registers); // 23 answers, each checked: always whole
    // Done: characters that follow belong to no register until the next cycle.
    m_cycle.End();
    m_nTry = 0;
    if (m_tap.configurationRead)
        m_tap.configurationRead();
    if (m_events.configurationRead)
        m_events.configurationRead();
}

void CCameraSession::OnAnswerMissing()
{
    const int outstanding = m_cycle.ReadIndex() - 1;
    if (outstanding < 0)
        return;
    // A host that fell behind has not given the camera its time: bytes heard
    // but not yet handled here, or this timer itself running late.
    if (m_port.OwnerBehind() || m_answerClock.elapsed() > m_nAnswerWaitMs + kLateTimerMs) {
        m_answerClock.restart();
        m_answerTimer.start(m_nAnswerWaitMs);
        return;
    }
    FailCycle(outstanding, m_cycle.Reply().right(m_cycle.ReplyChars() % 4));
}

void CCameraSession::FailCycle(int index, const QByteArray& answer)
{
    m_answerTimer.stop();
    ++m_nRequest;
    m_cycle.End();
    if (++m_nTry < kReadTries) {
        // What is left of the failed try (late answers, the rest of a cut
        // one) is dropped until the line has been quiet for an answer's wait.
        Drain();
        return;
    }
    const ReadFailure failure{ReadList[index], answer, m_nTry};
    m_nTry = 0;
    if (m_tap.readFailed)
        m_tap.readFailed(failure);
    if (m_events.readFailed)
        m_events.readFailed(failure);
}

void CCameraSession::Drain()
{
    m_bRetryDue = true;
    m_bDraining = true;
    // The quiet time counts from when all that was sent has left the line:
    // a request still on its way may yet be answered.
    WhenSent([this, run = m_nCycleRun] {
        if (run != m_nCycleRun || !m_bDraining)
            return;
        m_drainClock.restart();
        m_drainTimer.start(m_nAnswerWaitMs);
    });
}

void CCameraSession::WhenSent(std::function<void()> step)
{
    m_sender.Then([this, step = std::move(step)]() mutable { m_port.QueueWrite(QByteArray(), std::move(step)); });
}

void CCameraSession::OnDrained()
{
    // Heard but not yet handed to the session is not quiet.
    if (m_port.OwnerBehind() && m_drainClock.elapsed() < kDrainWaitsMax * m_nAnswerWaitMs) {
        m_drainTimer.start(m_nAnswerWaitMs);
        return;
    }
    m_bDraining = false;
    QueueCycleStart();
}

void CCameraSession::EndCycle()
{
    ++m_nCycleRun;
    ++m_nRequest;
    m_answerTimer.stop();
    m_drainTimer.stop();
    m_bDraining = false;
    m_cycle.End();
    m_nTry = 0;
    m_bRetryDue = false;
}

void CCameraSession::WriteRegister(int value, int reg)
{
    m_sender.Send(FormatWriteCommand(value, reg), kWritePauseMs);
}

bool CCameraSession::event(QEvent* event)
{
    if (event->type() == PortEventType(PortMessage::ReceiveChar)) {
        const unsigned ch = static_cast<CPortMessageEvent*>(event)->WParam();
        if (m_events.received)
            m_events.received(ch);
        if (m_scanListener) {
            m_scanListener(static_cast<char>(ch));
            return true;
        }
        if (!m_tap.takeReply || !m_tap.takeReply(static_cast<char>(ch)))
            FeedCycle(static_cast<char>(ch)); // groups outside a cycle are dropped there
        return true;
    }
    if (event->type() == PortEventType(PortMessage::DeviceLost)) {
        if (m_tap.deviceLost)
            m_tap.deviceLost();
        if (m_events.deviceLost)
            m_events.deviceLost();
        return true;
    }
    return QObject::event(event);
}
