#include "session/camera_scan.h"

#include "session/camera_session.h"
#include "core/protocol/line_rates.h"
#include "core/protocol/link_protocol.h"
#include "core/settings/image_settings.h"

namespace {

// 0x1F is the first register of every read; 0x00 and 0x01 confirm it and
// give the versions.
constexpr int kAskedRegisters[] = {0x1F, 0x00, 0x01};

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
    m_rates = ScanOrder(currentBaud);
    m_session.EndCycle();
    m_session.Sender().Cancel(); // nothing meant for the old rate goes out at a new one
    m_session.SetScanListener([this](char ch) { OnChar(ch); });
    m_nTry = 0;
    TryRate();
}

void CCameraScan::TryRate()
{
    const int baud = m_rates[static_cast<std::size_t>(m_nTry)];
    if (baud != m_session.Rate())
        m_session.SetRate(baud);
    if (m_events.trying)
        m_events.trying(baud);
    Ask(0);
}

void CCameraScan::Ask(int index)
{
    m_nAsked = index;
    m_heard.clear();
    m_session.Sender().Send(FormatReadCommand(kAskedRegisters[index]));
    // Counted from the hand-over: the wait covers the request's own time on
    // the line, so a port with nothing on it costs no more than the waits.
    m_wait.start(AnswerWaitMs(m_rates[static_cast<std::size_t>(m_nTry)]));
}

void CCameraScan::OnChar(char ch)
{
    if (!m_wait.isActive())
        return; // between tries: what is left of the last one
    m_heard.append(ch);
    // Noise ahead of the answer does not hide it.
    if (m_heard.size() < 4 || !IsRegisterAnswer(m_heard.right(4)))
        return;
    m_wait.stop();
    unsigned char value = 0;
    HexToBytes(m_heard.right(4), &value, 1);
    m_answers[m_nAsked] = value;
    if (m_nAsked + 1 < static_cast<int>(std::size(kAskedRegisters))) {
        Ask(m_nAsked + 1);
        return;
    }
    ScanFinding finding;
    finding.nBaud = m_rates[static_cast<std::size_t>(m_nTry)];
    finding.versions = {VersionText(m_answers[2]), VersionText(m_answers[1])};
    finding.bEcho = m_session.Port().LineEchoes();
    Finish(finding);
}

void CCameraScan::OnWaitOver()
{
    if (++m_nTry < static_cast<int>(m_rates.size())) {
        TryRate();
        return;
    }
    Finish(std::nullopt);
}

void CCameraScan::Finish(std::optional<ScanFinding> finding)
{
    if (!finding && m_session.Rate() != m_nCurrentBaud)
        m_session.SetRate(m_nCurrentBaud); // never a silent fall-back to the last rate tried
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
    if (m_session.Rate() != m_nCurrentBaud)
        m_session.SetRate(m_nCurrentBaud);
    End();
    m_events = Events{};
}

void CCameraScan::End()
{
    m_wait.stop();
    m_nTry = -1;
    m_session.SetScanListener({});
}
