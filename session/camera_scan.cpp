#include "session/camera_scan.h"

#include "session/camera_session.h"
#include "core/protocol/line_rates.h"
#include "core/protocol/link_protocol.h"
#include "core/settings/camera_identity.h"
#include "core/settings/image_settings.h"

namespace {

// 0x1F is the first register of every read; 0x00 and 0x01 confirm it and
// give the versions.
constexpr int kAskedRegisters[] = {0x1F, 0x00, 0x01};
constexpr int kAsked = static_cast<int>(std::size(kAskedRegisters));
// A line that never falls quiet is given up at this rate after this many
// answer waits all the same.
constexpr int kDrainWaitsMax = 4;
// After a failed try a camera may still send the rest of one answer. More
// than that is a line that speaks on its own (another device, noise): asked
// again at this rate it would say the same, and a port's search would take
// a minute instead of its twelve waits.
constexpr int kRestOfAnAnswer = 4;

} // namespace

CCameraScan::CCameraScan(CCameraSession& session) : m_session(session)
{
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_wait, &QTimer::timeout, [this] { OnWaitOver(); });
}

CCameraScan::~CCameraScan()
{
    if (Running())
        End();
}

void CCameraScan::Start(int currentBaud, Events events)
{
    if (Running())
        Stop();
    m_events = std::move(events);
    m_nCurrentBaud = currentBaud;
    // A socket:// port keeps the rate its server sets: only that one is tried.
    m_rates = m_session.RateFixed() ? std::vector<int>{currentBaud} : ScanOrder(currentBaud);
    m_session.EndCycle();
    m_session.Sender().Cancel(); // nothing meant for the old rate goes out at a new one
    m_listening = m_session.Listen(CCameraSession::Rank::Search, {.take = [this](char ch) {
                                                                      OnChar(ch);
                                                                      return true;
                                                                  }});
    m_nTry = 0;
    m_nTryAtRate = 0;
    TryRate();
}

int CCameraScan::Rate() const
{
    return m_rates[static_cast<std::size_t>(m_nTry)];
}

int CCameraScan::WaitMs() const
{
    return m_session.AnswerWaitAt(Rate());
}

void CCameraScan::TryRate()
{
    if (Rate() != m_session.Rate())
        m_session.SetRate(Rate());
    if (m_nTryAtRate == 0 && m_events.trying)
        m_events.trying(Rate());
    m_bHeard = false;
    Ask(0);
}

void CCameraScan::Ask(int index)
{
    m_phase = Phase::Asking;
    m_nAsked = index;
    m_heard.clear();
    m_session.Sender().Send(FormatReadCommand(kAskedRegisters[index]));
    // Counted from the hand-over: the wait covers the request's own time on
    // the line, so a port with nothing on it costs no more than the waits.
    m_wait.start(WaitMs());
}

void CCameraScan::OnChar(char ch)
{
    m_bHeard = true;
    switch (m_phase) {
    case Phase::Asking:
        m_heard.append(ch);
        // Noise ahead of the answer does not hide it.
        if (m_heard.size() >= 4 && IsRegisterAnswer(m_heard.right(4)))
            OnAnswer();
        return;
    case Phase::Confirming:
        // An answer too many: what was taken for each answer was the one
        // before it, late from an earlier request.
        m_wait.stop();
        TryFailed();
        return;
    case Phase::Draining:
        if (++m_nDrainChars > kRestOfAnAnswer) {
            m_wait.stop();
            NextRate();
        } else if (m_drainClock.elapsed() < kDrainWaitsMax * WaitMs()) {
            m_wait.start(WaitMs()); // not quiet yet
        }
        return;
    case Phase::Idle:
        return;
    }
}

void CCameraScan::OnAnswer()
{
    m_wait.stop();
    unsigned char value = 0;
    HexToBytes(m_heard.right(4), &value, 1);
    m_answers[m_nAsked] = value;
    if (m_nAsked + 1 < kAsked) {
        Ask(m_nAsked + 1);
        return;
    }
    // Every answer came; each belongs to its request only if none follows.
    m_phase = Phase::Confirming;
    m_wait.start(WaitMs());
}

void CCameraScan::OnWaitOver()
{
    switch (m_phase) {
    case Phase::Asking: TryFailed(); return;
    case Phase::Confirming: {
        ScanFinding finding;
        finding.nBaud = Rate();
        finding.versions = {VersionText(m_answers[2]), VersionText(m_answers[1])};
        finding.bEcho = m_session.Line().LineEchoes();
        finding.unusual = UnusualCameraAnswers(m_answers[0], m_answers[1], m_answers[2]);
        Finish(finding);
        return;
    }
    case Phase::Draining:
        // Quiet now: what came was perhaps a camera at this rate whose answer
        // went wrong once; it is asked again, as a read is tried again.
        if (++m_nTryAtRate < kReadTries)
            TryRate();
        else
            NextRate();
        return;
    case Phase::Idle: return;
    }
}

void CCameraScan::TryFailed()
{
    if (!m_bHeard) {
        NextRate(); // a silent line costs no more than the wait
        return;
    }
    // What is still on its way must not count for the next try.
    m_phase = Phase::Draining;
    m_nDrainChars = 0;
    m_drainClock.restart();
    m_wait.start(WaitMs());
}

void CCameraScan::NextRate()
{
    m_nTryAtRate = 0;
    if (++m_nTry < static_cast<int>(m_rates.size())) {
        TryRate();
        return;
    }
    m_nTry = static_cast<int>(m_rates.size()) - 1;
    Finish(std::nullopt);
}

void CCameraScan::Finish(std::optional<ScanFinding> finding)
{
    if (!finding)
        RestoreRate(); // never a silent fall-back to the last rate tried
    End();
    const Events events = std::exchange(m_events, Events{});
    if (events.finished)
        events.finished(finding);
}

void CCameraScan::Stop()
{
    if (!Running())
        return;
    m_session.Sender().Cancel();
    RestoreRate();
    End();
    m_events = Events{};
}

void CCameraScan::RestoreRate()
{
    if (m_session.Rate() != m_nCurrentBaud)
        m_session.SetRate(m_nCurrentBaud);
}

void CCameraScan::End()
{
    m_wait.stop();
    m_phase = Phase::Idle;
    m_nTry = -1;
    m_listening.Reset();
}
