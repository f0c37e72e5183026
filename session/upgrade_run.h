#pragma once

#include "core/firmware/image_choice.h"
#include "core/firmware/image_files.h"
#include "core/firmware/version_check.h"
#include "session/camera_session.h"
#include "session/read_failure.h"
#include "session/upgrade_exchange.h"
#include "session/window_timers.h"

#include <QElapsedTimer>
#include <QTimer>
#include <memory>
#include <optional>


// A package entry as its turn comes: read, measured and checksummed.
struct RunImage {
    QString strName; // as the package holds it
    QString strPath; // where it waits, when the run unpacked it
    QByteArray bytes;
    ImageKind kind = ImageKind::Other;
    int nChecksum = 0;
    int nNumber = 0; // among the images the run sends, from 1; 0 for an entry of no known kind
    int nCount = 0;  // the images the run sends
};

// What a run is asked to do with a package that was checked whole.
struct UpgradePlan {
    std::vector<PackageEntry> entries; // in archive order
    // The images are written into this folder first and sent from there
    // (the window's own folder for the run); empty: sent from memory.
    QString strUnpackDir;
    // After the last image: restart the camera, read it again once it
    // answers and verify its versions against the package's image names.
    bool bRestartAndVerify = false;
    // For 'D' once the camera has stored an image, and for its report or
    // its answer after a 'D' it did not confirm; 0: as long as it takes,
    // and kAnswerWaitMs for the latter.
    int nFlashWaitMs = 0;
    // Recovery of a camera whose firmware answers nothing: every image is
    // sent, whatever the camera was read to run, and the first without a
    // restart trigger or a read: requests go out every 100 ms for this long
    // while the technician powers the camera off and on, and its boot
    // window's 'A' answers one. 0: an upgrade as usual.
    int nRecoverWaitMs = 0;
};

// One upgrade run of a camera session: the images the camera does not run
// yet, chosen from the session's register image, each through the restart
// trigger, the requests, the transfer, the camera's replies and the release,
// then, when asked, a restart, a read and the check of the versions. The
// same for the window and the command line, which hear of it through Events.
// While it lives, it hears what the session hears before the read cycle
// does, and keeps the exchange's timers 200, 206 and 207 itself.
class CUpgradeRun final {
public:
    enum class Stage { Idle, Sending, Restarting, Verifying };
    enum class End {
        Done,            // every image flashed (and, when asked, the versions verified)
        Reported,        // the camera sent an error report; detail is its four characters
        Unanswered,      // the requests went unanswered
        NotReady,        // the camera asked, but mayTransfer() refused
        ImageUnreadable, // detail: the image (its printable name or path) and why
        PortGone,        // the port went away under the transfer
        Silent,          // neither 'S' nor 'D' after the image
        NotFlashed,      // stored, but no 'D' within the plan's flash wait; released
        Unconfirmed,     // a 'D', and then no answer to a read nor a report; released again
        NotBack,         // after the restart the port did not open again, went away, or the camera did not answer
        NotVerified,     // back, reporting other versions than the package's images name
    };
    struct Result {
        End end = End::Done;
        QString strDetail;
        RunImage image;          // the image the run ended with
        int nImagesDone = 0;     // flashed by the camera
        bool bAbandoned = false; // Abandon() stopped the run after this image
        qint64 nMsSinceRestart = 0;
        bool bReopenFailed = false;             // NotBack: the port did not open again
        bool bLost = false;                     // NotBack: the port went away while the camera was read
        // NotBack: the port went away while the camera restarted and came
        // back; the camera on it may be another one.
        bool bReplugged = false;
        std::optional<ReadFailure> readFailure; // NotBack: the last read's failure
        FirmwareVersions after;                 // as read after the restart
        std::vector<VersionMismatch> mismatches;
    };
    struct Events {
        // Of each image; its finished() is not used: the run's is.
        CUpgradeExchange::Events exchange;
        std::function<void(const RunImage&)> examined;  // every entry's turn, before anything is sent for it
        std::function<void(const RunImage&)> triggered; // the restart trigger for the image is queued
        std::function<void(Stage)> stage;               // restarting, verifying
        std::function<void(const Result&)> finished;    // last of a run
        std::function<void(const RunImage&)> flashed;   // the camera has flashed the image and is released
        // Recovery: the first request is out; the camera should be powered off and on now.
        std::function<void()> awaitingPowerCycle;
    };

    static constexpr int kBootPauseMs = 2000;  // after a restart, before the camera is read again
    static constexpr int kComeBackMs = 30000; // for the camera to answer again after a restart

    explicit CUpgradeRun(CCameraSession& session);
    ~CUpgradeRun();
    Q_DISABLE_COPY_MOVE(CUpgradeRun)

    // What a run would take of `entries` for the camera as last read.
    ImageChoice Choose(const std::vector<PackageEntry>& entries) const;
    // What a run of the plan would take: every image when it recovers.
    ImageChoice Choose(const UpgradePlan& plan) const;
    // Starts a run; false, and nothing sent, when an image could not be
    // written to the plan's folder (*cannotUnpack names it and the reason).
    bool Start(UpgradePlan plan, Events events, QString* cannotUnpack);
    bool Running() const { return m_stage != Stage::Idle; }
    Stage CurrentStage() const { return m_stage; }
    // The requests' timer 200, the wait after an image, 206, and the
    // confirming read's, 207.
    CWindowTimers& Timers() { return m_timers; }
    // Stops after the image under way, leaving the camera answering: the
    // rest of the image goes out as filler it refuses, and its answer and
    // "R" end the run. False, and nothing done, before an image is out.
    bool Abandon();
    // Ends the run at once, without finished(); with `release` an "R" frees
    // a camera that was triggered, or answered a request, and was not yet
    // released. A camera in recovery that has not answered is sent nothing.
    void Stop(bool release);
    const CUpgradeExchange& Exchange() const { return m_exchange; }
    // The image under way, or the last.
    const RunImage& CurrentImage() const { return m_image; }

private:
    // From the session.
    void OnConfigurationRead();
    void OnReadFailed(const ReadFailure& failure);
    void OnDeviceLost();

    CUpgradeExchange::Events ExchangeEvents();
    void NextImage();
    int ConfirmWaitMs() const;
    void OnImageEnd(CUpgradeExchange::Outcome outcome, const QString& detail);
    void Restart();
    void AwaitBoot(); // the trigger is out, or the port went away first
    void OnBootPauseOver();
    void Verify();
    void Finish(End end, const QString& detail = QString());

    CCameraSession& m_session;
    CCameraSession::Listening m_listening; // what the camera says in upgrade mode is the run's
    UpgradePlan m_plan;
    Events m_events;
    Stage m_stage = Stage::Idle;
    ImageChoice m_choice;
    std::size_t m_nTurn = 0; // the next of m_choice.turns
    RunImage m_image;        // the image under way
    Result m_result;
    bool m_bTriggered = false; // a trigger went out and no "R" since
    bool m_bAwaitingBoot = false; // recovery: the image under way waits for the camera's boot window
    bool m_bLostInRestart = false; // the port went away in the restart: it is opened again after the pause
    QTimer m_flashTimer;       // the plan's flash wait
    QTimer m_bootTimer;        // after the restart, before the camera is read again
    QElapsedTimer m_sinceRestart;
    std::shared_ptr<char> m_run = std::make_shared<char>(); // renewed when a run ends: its queued steps do nothing
    CWindowTimers m_timers;
    // Declared last: the transfer ends before anything its events use.
    CUpgradeExchange m_exchange;
};
