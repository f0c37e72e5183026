#pragma once

#include "session/image_transfer.h"
#include "core/protocol/release_replies.h"
#include "core/protocol/upgrade_protocol.h"

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>

class CCameraSession;
class CWindowTimers;

// How the camera is asked to take an image: a request each period, this
// many in all; and how long a camera that said 'D' and then answers nothing
// may still be flashing before it is released again.
struct UpgradeRequests {
    int nPeriodMs = kRequestPeriodMs;
    int nCount = kRequests;
    int nConfirmWaitMs = kAnswerWaitMs;
};

// The upgrade of one image, after the restart trigger has gone out: a request
// ("*****") each second until the camera answers 'A', "U", the image on its
// own thread, then the camera's 'S' and 'D' (or an error report) and "R".
// A single noise byte on the line can look like 'D', so a 'D' is confirmed:
// after the "R" the camera is asked for a register, and the image counts as
// done only once it answers. The same for the window and the command line;
// they hear of it through Events and show it in their own words. Its timers
// 200, 206 and 207 are numbered timers of its owner's table (the upgrade
// run's), whose expiries the owner hands to OnTimer(); tests fire them.
class CUpgradeExchange final {
public:
    static constexpr int kTimerRequest = 200;     // kRequestPeriodMs, repeating
    static constexpr int kTimerAfterTransfer = 206; // kAnswerWaitMs after the last piece
    static constexpr int kTimerConfirm = 207;       // a confirming read's answer wait, or the pause before the next
    // The register asked after the release: the first of a read cycle.
    static constexpr int kConfirmRegister = 0x1F;

    // How a run ended. Done comes once the camera, released with "R" 200 ms
    // after its 'D', has answered a read; after Reported, NotReady,
    // ImageUnreadable, Silent and Unconfirmed it has been released at once.
    // Unanswered (one request period after the last request) and PortGone
    // send nothing more.
    enum class Outcome {
        Done,            // the camera has flashed the image ('D') and answers again
        Reported,        // the camera sent an error report; detail is its four characters
        Unanswered,      // the last request of nCount went unanswered for a period
        NotReady,        // the camera asked, but mayTransfer() refused
        ImageUnreadable, // detail: the image's path and the OS's words
        PortGone,        // the port went away under the transfer
        Silent,          // neither 'S' nor 'D' within kAnswerWaitMs of the last piece
        Unconfirmed,     // a 'D', then no answer to a read, no report nor 'D' again within nConfirmWaitMs
    };

    struct Events {
        std::function<bool()> mayTransfer;                 // asked before the first byte of the image; unset: yes
        std::function<void(int tries)> requested;         // a request went out; more follow
        std::function<void(bool running)> transferRunning; // the image's thread starts, and has ended
        std::function<void(const QString& fileName)> headerSent;
        std::function<void(int percent)> progress;
        std::function<void(const TransferReport&)> sent;  // every piece is out; the answer wait begins
        std::function<void()> stored;                     // the wait is over with 'S' and no 'D': 'D' may still come
        std::function<void(Outcome, const QString& detail)> finished; // last of a run
    };

    CUpgradeExchange(CCameraSession& session, CWindowTimers& timers);
    ~CUpgradeExchange();
    Q_DISABLE_COPY_MOVE(CUpgradeExchange)

    // Starts a run for the image once what is queued (the trigger) has gone out.
    // Who hears of the images from now on.
    void SetEvents(Events events) { m_events = std::move(events); }
    void Start(const TransferJob& image, UpgradeRequests requests = {});
    // One character from the camera while a run lasts.
    void Receive(char ch);
    // Timers 200, 206 and 207.
    void OnTimer(int id);
    // Ends the run without a word or a byte more: the transfer stops, the
    // timers stop. finished() does not run.
    void Cancel();
    // Stops the run where the camera can be left answering: an image under
    // way is completed with filler the camera refuses, and the run ends as
    // usual, with the camera's answer and "R"; so it does when the image is
    // out and its answer due, and when "U" is out and the image not begun
    // (it goes out as filler from its start). False, and nothing done,
    // before the camera has answered a request.
    bool Abandon();

    bool UpgradeMode() const { return m_bUpgradeMode; }
    bool UpgradeAck() const { return m_bUpgradeAck; }
    // The camera has answered a request of this run with 'A'.
    bool Answered() const { return m_bAnswered; }
    int UpgradeTries() const { return m_nUpgradeTries; }
    bool TransferRunning() const { return m_transfer.IsRunning(); }
    // Released after a 'D' and asked for a register: the answer is awaited.
    bool Confirming() const { return m_bConfirming; }

private:
    // Every piece is handed over: a reply may be the camera's verdict.
    bool ImageOut() const;
    void OnReport(const QString& report);
    void OnReady();
    void BeginTransfer();
    void OnTransferFinished(const TransferReport& report);
    void OnImageDone();
    void OnAnswerWaitOver();
    // After a 'D': "R", then a read the camera answers once it runs again.
    void ReleaseAndAsk();
    void Ask();
    void OnReleaseReply(char ch);
    // The read's answer wait, or a pause between reads, is over.
    void OnConfirmTimer();
    void Finish(Outcome outcome, const QString& detail = QString());
    void StopTransfer();
    void Release();
    // Runs step after what is queued, unless the run has ended or the
    // exchange is gone by then.
    void ThenInRun(std::function<void()> step);

    CCameraSession& m_session;
    CWindowTimers& m_timers;
    Events m_events;
    TransferJob m_image;
    UpgradeRequests m_requests;
    CUpgradeReplies m_replies;
    bool m_bUpgradeMode = false;
    bool m_bUpgradeAck = false; // 'S' or 'D' since the transfer began
    int m_nUpgradeTries = 0;
    bool m_bRequested = false; // a request has gone out: an 'A' may answer it
    bool m_bAnswered = false;  // an 'A' answered one
    bool m_bImageOut = false;  // every piece is out: a 'D' is the camera's verdict
    QString m_strEarlyReport;  // a report heard mid-image; what it says stands if the camera says nothing after
    std::shared_ptr<char> m_run = std::make_shared<char>(); // renewed when a run ends: its queued steps do nothing
    bool m_bTransferDue = false;        // "U" is out and its pause runs: the transfer follows
    bool m_bAbandonDue = false;         // abandoned in that pause: the transfer goes out as filler
    bool m_bDoneDuringTransfer = false; // a 'D' that overtook the transfer's end waits for it
    // Confirming a 'D': released and asked for a register.
    bool m_bConfirming = false;
    CReleaseReplies m_releaseReplies;
    bool m_bAsking = false;        // the read is out, or on its way, and its answer due
    bool m_bVerdictAgain = false;  // a 'D' since the last "R": the camera waits for another
    int m_nConfirmReads = 0;       // reads since the last "R"; after kReadTries, one a second
    QElapsedTimer m_sinceVerdict;  // since the first 'D'
    QElapsedTimer m_askClock;      // since the read left the line; invalid before
    std::shared_ptr<char> m_askToken; // renewed by each read, dropped at its end: a stale "on the line" does nothing
    // Declared last: the transfer ends before anything its events use.
    CImageTransfer m_transfer;
};
