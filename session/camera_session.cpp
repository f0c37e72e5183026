#include "session/camera_session.h"

#include "core/config/network_address.h"
#include "core/protocol/link_protocol.h"

namespace {

// A line that never falls quiet after a failed try (a camera babbling) is
// tried again after this many answer waits all the same.
constexpr int kDrainWaitsMax = 4;

} // namespace

CCameraSession::CCameraSession()
    : m_line(MakeLine(QString())),
      m_sender([this](const QByteArray& bytes, std::function<void()> onLine) {
          m_line->QueueWrite(bytes, std::move(onLine));
      })
{
    m_line->SetListener({.received = [this](const QByteArray& chunk) { OnReceived(chunk); },
                         .lost = [this] { OnLost(); }});
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_answerTimer, &QTimer::timeout, this, [this] { OnAnswerMissing(); });
    m_drainTimer.setSingleShot(true);
    connect(&m_drainTimer, &QTimer::timeout, this, [this] { OnDrained(); });
}

CCameraSession::~CCameraSession()
{
    // Stopped while every member is whole: the monitor may still deliver.
    m_line->Close();
    m_sender.Cancel();
}

CCameraSession::Listening& CCameraSession::Listening::operator=(Listening&& other) noexcept
{
    if (this != &other) {
        Reset();
        m_pSession = std::exchange(other.m_pSession, nullptr);
        m_nId = other.m_nId;
    }
    return *this;
}

void CCameraSession::Listening::Reset()
{
    if (CCameraSession* session = std::exchange(m_pSession, nullptr))
        session->Forget(m_nId);
}

CCameraSession::Listening CCameraSession::Listen(Rank rank, Listener listener)
{
    const quint64 id = ++m_nListenerId;
    auto entry = std::make_shared<Registered>(Registered{rank, id, std::move(listener)});
    const auto after = std::upper_bound(m_listeners.begin(), m_listeners.end(), rank,
                                        [](Rank r, const auto& registered) { return r < registered->rank; });
    m_listeners.insert(after, std::move(entry));
    return Listening(this, id);
}

void CCameraSession::Forget(quint64 id)
{
    std::erase_if(m_listeners, [id](const auto& registered) {
        if (registered->nId != id)
            return false;
        registered->bActive = false; // a dispatch under way holds it still
        return true;
    });
}

bool CCameraSession::Searching() const
{
    return std::any_of(m_listeners.begin(), m_listeners.end(),
                       [](const auto& registered) { return registered->rank == Rank::Search; });
}

template <typename Fn>
void CCameraSession::TellAll(Fn tell)
{
    // A listener may register or forget others, or itself, while it is told.
    const std::vector<std::shared_ptr<Registered>> listeners = m_listeners;
    for (const auto& registered : listeners) {
        if (registered->bActive)
            tell(registered->listener);
    }
}

void CCameraSession::SetErrorReporter(CommErrorReporter reporter)
{
    m_errorReporter = reporter;
    m_line->SetErrorReporter(std::move(reporter));
}

void CCameraSession::SetTrace(std::shared_ptr<CLineTrace> trace)
{
    m_trace = trace;
    m_line->SetTrace(std::move(trace));
}

bool CCameraSession::Open(const LineOpening& opening)
{
    m_lastOpen = opening;
    const bool opened = Reopen();
    m_lastOpen.opened.reset(); // taken: a reopen opens afresh
    return opened;
}

bool CCameraSession::Reopen()
{
    m_nAnswerWaitMs = AnswerWaitMs(m_lastOpen.nBaud);
    if (!m_line->Reaches(m_lastOpen.strDevice)) {
        m_line->Close();
        m_sender.Cancel();
        m_line = MakeLine(m_lastOpen.strDevice);
        m_line->SetListener({.received = [this](const QByteArray& chunk) { OnReceived(chunk); },
                             .lost = [this] { OnLost(); }});
        m_line->SetErrorReporter(m_errorReporter);
        m_line->SetTrace(m_trace);
    }
    if (!m_line->Open(m_lastOpen))
        return false;
    ++m_nOpenings;
    return true;
}

bool CCameraSession::RateFixed() const
{
    return RateSetByServer(m_lastOpen.strDevice);
}

int CCameraSession::AnswerWaitAt(int baud) const
{
    return AnswerWaitMs(baud) + m_line->RoundTripMs();
}

void CCameraSession::SetRate(int baud)
{
    m_lastOpen.nBaud = baud;
    // After what waits in the sender, which was meant for the old rate.
    m_sender.Then([this, baud] {
        m_nAnswerWaitMs = AnswerWaitMs(baud);
        m_line->SetRate(baud);
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
            m_line->DecideEchoAgain();
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
        m_answerTimer.start(AnswerWait());
    });
}

void CCameraSession::FeedCycle(char ch)
{
    if (m_bDraining) {
        // The rest of a failed try: the line is not quiet yet.
        if (m_drainTimer.isActive() && m_drainClock.elapsed() < kDrainWaitsMax * AnswerWait())
            m_drainTimer.start(AnswerWait());
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
    TellAll([](const Listener& listener) {
        if (listener.configurationRead)
            listener.configurationRead();
    });
}

void CCameraSession::OnAnswerMissing()
{
    const int outstanding = m_cycle.ReadIndex() - 1;
    if (outstanding < 0)
        return;
    // A host that fell behind has not given the camera its time: bytes heard
    // but not yet handled here, or this timer itself running late.
    if (m_line->OwnerBehind() || m_answerClock.elapsed() > AnswerWait() + kLateTimerMs) {
        m_answerClock.restart();
        m_answerTimer.start(AnswerWait());
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
    TellAll([&failure](const Listener& listener) {
        if (listener.readFailed)
            listener.readFailed(failure);
    });
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
        m_drainTimer.start(AnswerWait());
    });
}

void CCameraSession::WhenSent(std::function<void()> step)
{
    m_sender.Then([this, step = std::move(step)]() mutable { m_line->QueueWrite(QByteArray(), std::move(step)); });
}

void CCameraSession::OnDrained()
{
    // Heard but not yet handed to the session is not quiet.
    if (m_line->OwnerBehind() && m_drainClock.elapsed() < kDrainWaitsMax * AnswerWait()) {
        m_drainTimer.start(AnswerWait());
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

void CCameraSession::OnReceived(const QByteArray& chunk)
{
    const quint64 run = m_line->Run();
    for (const char ch : chunk) {
        if (m_line->Run() != run)
            return; // stopped or reopened by a listener: the rest belonged to that run
        Dispatch(ch);
    }
}

void CCameraSession::Dispatch(char ch)
{
    // One copy for both passes: a listener may forget others, or itself, while it is told.
    const std::vector<std::shared_ptr<Registered>> listeners = m_listeners;
    for (const auto& registered : listeners) {
        if (registered->bActive && registered->listener.heard)
            registered->listener.heard(ch);
    }
    for (const auto& registered : listeners) {
        if (registered->bActive && registered->listener.take && registered->listener.take(ch))
            return;
    }
    FeedCycle(ch); // groups outside a cycle are dropped there
}

void CCameraSession::OnLost()
{
    TellAll([](const Listener& listener) {
        if (listener.lost)
            listener.lost();
    });
}
