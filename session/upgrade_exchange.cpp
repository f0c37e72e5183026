#include "session/upgrade_exchange.h"

#include "session/camera_session.h"
#include "session/window_timers.h"
#include "core/protocol/link_protocol.h"

CUpgradeExchange::CUpgradeExchange(CCameraSession& session, CWindowTimers& timers)
    : m_session(session),
      m_timers(timers),
      m_transfer({.headerSent =
                       [this](const QString& fileName) {
                           if (m_events.headerSent)
                               m_events.headerSent(fileName);
                       },
                   .progress =
                       [this](int percent) {
                           if (m_events.progress)
                               m_events.progress(percent);
                       },
                   .finished = [this](const TransferReport& report) { OnTransferFinished(report); }})
{
}

CUpgradeExchange::~CUpgradeExchange() = default;

void CUpgradeExchange::Start(const TransferJob& image, UpgradeRequests requests)
{
    m_image = image;
    m_requests = requests;
    m_bAnswered = false;
    m_replies.Reset();
    m_bRequested = false;
    m_bImageOut = false;
    m_strEarlyReport.clear();
    m_nUpgradeTries = 0;
    m_bUpgradeMode = true;
    // The requests count from the trigger's going out.
    ThenInRun([this] { m_timers.SetTimer(kTimerRequest, m_requests.nPeriodMs); });
}

void CUpgradeExchange::ThenInRun(std::function<void()> step)
{
    m_session.Sender().Then([run = std::weak_ptr<char>(m_run), step = std::move(step)] {
        if (!run.expired())
            step();
    });
}

void CUpgradeExchange::Receive(char ch)
{
    if (m_bConfirming) {
        OnReleaseReply(ch);
        return;
    }
    switch (m_replies.Receive(ch)) {
    case CUpgradeReplies::Event::Ready:
        if (m_bRequested) // before the first request it answers nothing
            OnReady();
        break;
    case CUpgradeReplies::Event::Stored:
        if (ImageOut())
            m_bUpgradeAck = true;
        break;
    case CUpgradeReplies::Event::Done:
        // A verdict only once the whole image is out. The camera may answer
        // as the last byte arrives, while the transfer's last pause still
        // runs: the transfer's end is told first. Before that a 'D' is line
        // noise (or an image byte), and the camera's real answer decides.
        if (m_bImageOut)
            OnImageDone();
        else if (ImageOut())
            m_bDoneDuringTransfer = true;
        break;
    case CUpgradeReplies::Event::Report:
        // Before the first request a report answers nothing of this run: the
        // rest of the last image's verdict, or line noise.
        if (m_bRequested)
            OnReport(QString::fromStdString(m_replies.Report()));
        break;
    case CUpgradeReplies::Event::None:
        break;
    }
}

bool CUpgradeExchange::ImageOut() const
{
    return m_bImageOut || (m_transfer.IsRunning() && m_transfer.LastPieceHandedOver());
}

void CUpgradeExchange::OnReport(const QString& report)
{
    if (m_transfer.IsRunning() && !m_transfer.LastPieceHandedOver()) {
        // Mid-image a report may be line noise, and a camera still taking
        // the image would take an "R" as image data: the rest goes out as
        // filler it refuses, and its answer after that decides.
        if (m_strEarlyReport.isEmpty())
            m_strEarlyReport = report;
        m_transfer.Abandon();
        return;
    }
    StopTransfer(); // no piece after the "R"
    Release();
    Finish(Outcome::Reported, report);
}

void CUpgradeExchange::OnReady()
{
    // The camera asks again while an image streams: one transfer at a time.
    if (m_transfer.IsRunning() || m_bTransferDue)
        return;
    m_timers.KillTimer(kTimerRequest);
    m_nUpgradeTries = 0;
    m_bAnswered = true;
    m_bTransferDue = true;
    m_session.Sender().Send("U", kReadyPauseMs);
    ThenInRun([this] {
        if (std::exchange(m_bTransferDue, false))
            BeginTransfer();
    });
}

void CUpgradeExchange::BeginTransfer()
{
    if (m_events.mayTransfer && !m_events.mayTransfer()) {
        Release();
        Finish(Outcome::NotReady);
        return;
    }
    // Cleared before the first byte: an 'S' or 'D' may overtake the transfer's end.
    m_bUpgradeAck = false;
    m_bDoneDuringTransfer = false;
    if (m_events.transferRunning)
        m_events.transferRunning(true);
    m_transfer.Start(m_session.Line(), m_image);
    if (std::exchange(m_bAbandonDue, false))
        m_transfer.Abandon();
}

void CUpgradeExchange::OnTransferFinished(const TransferReport& report)
{
    if (m_events.transferRunning)
        m_events.transferRunning(false);
    switch (report.outcome) {
    case TransferReport::Outcome::Sent:
        m_bImageOut = true;
        if (m_events.sent)
            m_events.sent(report);
        m_timers.SetTimer(kTimerAfterTransfer, kAnswerWaitMs);
        if (std::exchange(m_bDoneDuringTransfer, false))
            OnImageDone();
        break;
    case TransferReport::Outcome::ImageUnreadable:
        Release();
        Finish(Outcome::ImageUnreadable, report.strDetail);
        break;
    case TransferReport::Outcome::PortGone:
        Finish(Outcome::PortGone);
        break;
    }
}

void CUpgradeExchange::OnImageDone()
{
    m_timers.KillTimer(kTimerAfterTransfer);
    m_bUpgradeAck = true;
    m_bConfirming = true;
    m_sinceVerdict.start();
    ReleaseAndAsk();
}

void CUpgradeExchange::ReleaseAndAsk()
{
    m_bVerdictAgain = false;
    m_nConfirmReads = 0;
    m_releaseReplies.Reset();
    m_session.Sender().Pause(kReleasePauseMs);
    Release();
    Ask();
}

void CUpgradeExchange::Ask()
{
    m_timers.KillTimer(kTimerConfirm);
    m_askClock.invalidate();
    m_bAsking = true;
    ++m_nConfirmReads;
    // Its wait begins once the request has left the line: on a slow line it
    // follows the "R" by a while. A read given up, or a run ended, by then
    // has renewed the token.
    m_askToken = std::make_shared<char>();
    m_session.Sender().Send(FormatReadCommand(kConfirmRegister), 0,
                            [this, token = std::weak_ptr<char>(m_askToken)] {
                                if (token.expired())
                                    return;
                                m_askClock.restart();
                                m_timers.SetTimer(kTimerConfirm, m_session.AnswerWaitAt(m_session.Rate()));
                            });
}

void CUpgradeExchange::OnReleaseReply(char ch)
{
    switch (m_releaseReplies.Receive(ch)) {
    case CReleaseReplies::Event::Answered:
        // Only a released camera that runs answers a read.
        Finish(Outcome::Done);
        break;
    case CReleaseReplies::Event::Report:
        // The 'D' was noise while the camera flashed; its report wins.
        Release();
        Finish(Outcome::Reported, QString::fromStdString(m_releaseReplies.Report()));
        break;
    case CReleaseReplies::Event::Verdict:
        // Its real 'D' came after the noise; it waits for an "R" again. While
        // an answer is due the 'D' may be one of its digits: the wait decides.
        m_bVerdictAgain = true;
        if (!m_bAsking)
            ReleaseAndAsk();
        break;
    case CReleaseReplies::Event::None:
        break;
    }
}

void CUpgradeExchange::OnConfirmTimer()
{
    m_timers.KillTimer(kTimerConfirm);
    const int waitMs = m_session.AnswerWaitAt(m_session.Rate());
    if (m_bAsking && m_askClock.isValid()
        && (m_session.Line().OwnerBehind() || m_askClock.elapsed() > waitMs + kLateTimerMs)) {
        // The host fell behind, not the camera: bytes heard but not yet
        // handled here, or this timer itself late. The answer gets its time.
        m_askClock.restart();
        m_timers.SetTimer(kTimerConfirm, waitMs);
        return;
    }
    const bool answerMissing = std::exchange(m_bAsking, false);
    m_askClock.invalidate();
    m_askToken.reset();
    if (m_bVerdictAgain) {
        ReleaseAndAsk();
        return;
    }
    const qint64 left = m_requests.nConfirmWaitMs - m_sinceVerdict.elapsed();
    if (left <= 0) {
        // Its flash wait is over and it said nothing: released again, in
        // case it still waited, but whether it took the image is unknown.
        Release();
        Finish(Outcome::Unconfirmed);
    } else if (!answerMissing || m_nConfirmReads < kReadTries) {
        Ask(); // an answer may have been lost on the line
    } else {
        // Still flashing, perhaps: asked again now and then, while its
        // report or its 'D' may yet come.
        m_timers.SetTimer(kTimerConfirm, static_cast<int>(std::min<qint64>(left, kRequestPeriodMs)));
    }
}

void CUpgradeExchange::OnTimer(int id)
{
    switch (id) {
    case kTimerRequest:
        // The last request is given its period to be answered too: a camera
        // that answers it and is left waiting would answer nothing more.
        if (m_nUpgradeTries >= m_requests.nCount) {
            Finish(Outcome::Unanswered);
            break;
        }
        m_session.Sender().Send("*****");
        m_bRequested = true;
        if (++m_nUpgradeTries < m_requests.nCount && m_events.requested)
            m_events.requested(m_nUpgradeTries);
        break;
    case kTimerAfterTransfer:
        m_timers.KillTimer(kTimerAfterTransfer);
        OnAnswerWaitOver();
        break;
    case kTimerConfirm:
        if (m_bConfirming)
            OnConfirmTimer();
        break;
    default:
        break;
    }
}

void CUpgradeExchange::OnAnswerWaitOver()
{
    if (!m_bUpgradeMode)
        return;
    if (m_bUpgradeAck) {
        // Stored but not yet done: 'D' may still come.
        if (m_events.stored)
            m_events.stored();
        return;
    }
    Release();
    if (m_strEarlyReport.isEmpty())
        Finish(Outcome::Silent);
    else
        Finish(Outcome::Reported, m_strEarlyReport); // and nothing after the filler
}

void CUpgradeExchange::Release()
{
    m_session.Sender().Send("R");
}

void CUpgradeExchange::Cancel()
{
    StopTransfer();
    m_timers.KillTimer(kTimerRequest);
    m_timers.KillTimer(kTimerAfterTransfer);
    m_timers.KillTimer(kTimerConfirm);
    m_nUpgradeTries = 0;
    m_bUpgradeMode = false;
    m_bConfirming = false;
    m_bAsking = false;
    m_bVerdictAgain = false;
    m_nConfirmReads = 0;
    m_askToken.reset();
    m_releaseReplies.Reset();
    m_bRequested = false;
    m_bAnswered = false;
    m_bImageOut = false;
    m_strEarlyReport.clear();
    m_bDoneDuringTransfer = false;
    m_bTransferDue = false;
    m_bAbandonDue = false;
    m_replies.Reset();
    m_run = std::make_shared<char>();
}

bool CUpgradeExchange::Abandon()
{
    if (m_bTransferDue) {
        // "U" is out: the camera waits for a header. The image goes out as
        // filler from its start, so that the camera refuses it and answers.
        m_bAbandonDue = true;
        return true;
    }
    if (!m_transfer.IsRunning())
        return m_bImageOut; // the camera's answer is due, and ends the run
    m_transfer.Abandon();
    return true;
}

void CUpgradeExchange::Finish(Outcome outcome, const QString& detail)
{
    Cancel();
    if (m_events.finished)
        m_events.finished(outcome, detail);
}

void CUpgradeExchange::StopTransfer()
{
    if (!m_transfer.IsRunning())
        return;
    m_transfer.Cancel();
    if (m_events.transferRunning)
        m_events.transferRunning(false);
}
