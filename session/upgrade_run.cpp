#include "session/upgrade_run.h"

#include "session/camera_session.h"
#include "core/config/file_contents.h"
#include "core/config/printable_text.h"
#include "core/protocol/checksum.h"
#include "core/protocol/link_protocol.h"

#include <QFile>

using namespace Qt::StringLiterals;

CUpgradeRun::CUpgradeRun(CCameraSession& session)
    : m_session(session), m_timers([this](int id) { m_exchange.OnTimer(id); }),
      m_exchange(session, m_timers)
{
    // While the camera is in upgrade mode, what it says is the run's.
    m_listening = m_session.Listen(CCameraSession::Rank::Upgrade,
                                   {.take =
                                        [this](char ch) {
                                            if (m_bootTimer.isActive())
                                                return true; // what a starting camera says is noise
                                            if (!m_exchange.UpgradeMode())
                                                return false;
                                            m_exchange.Receive(ch);
                                            return true;
                                        },
                                    .configurationRead = [this] { OnConfigurationRead(); },
                                    .readFailed = [this](const ReadFailure& failure) { OnReadFailed(failure); },
                                    .lost = [this] { OnDeviceLost(); }});
    m_flashTimer.setSingleShot(true);
    QObject::connect(&m_flashTimer, &QTimer::timeout, [this] {
        if (m_exchange.Confirming())
            return; // it said 'D': the exchange's own wait decides
        // The camera stored the image and never said it flashed it.
        m_exchange.Cancel();
        m_session.Sender().Send("R");
        Finish(End::NotFlashed);
    });
    m_bootTimer.setSingleShot(true);
    m_bootTimer.setTimerType(Qt::PreciseTimer); // the camera's pause is at least this
    QObject::connect(&m_bootTimer, &QTimer::timeout, [this] { OnBootPauseOver(); });
}

CUpgradeRun::~CUpgradeRun()
{
    Stop(false);
}

CUpgradeExchange::Events CUpgradeRun::ExchangeEvents()
{
    // The run's events hear the exchange directly, but where the run has a say.
    CUpgradeExchange::Events events = m_events.exchange;
    events.requested = [this, requested = std::move(events.requested)](int tries) {
        if (!m_bAwaitingBoot) {
            if (requested)
                requested(tries);
        } else if (tries == 1 && m_events.awaitingPowerCycle) {
            m_events.awaitingPowerCycle(); // not each of its many requests
        }
    };
    events.stored = [this, stored = std::move(events.stored)] {
        if (m_plan.nFlashWaitMs > 0)
            m_flashTimer.start(m_plan.nFlashWaitMs);
        if (stored)
            stored();
    };
    events.finished = [this](CUpgradeExchange::Outcome outcome, const QString& detail) { OnImageEnd(outcome, detail); };
    return events;
}

ImageChoice CUpgradeRun::Choose(const std::vector<PackageEntry>& entries) const
{
    return ChooseImages(entries, VersionsOfCamera(m_session.Registers().data()));
}

ImageChoice CUpgradeRun::Choose(const UpgradePlan& plan) const
{
    // A camera being recovered was never read: no version says what it runs.
    return plan.nRecoverWaitMs > 0 ? ChooseImages(plan.entries, std::nullopt) : Choose(plan.entries);
}

bool CUpgradeRun::Start(UpgradePlan plan, Events events, QString* cannotUnpack)
{
    Stop(false);
    m_choice = Choose(plan);
    if (!plan.strUnpackDir.isEmpty()) {
        for (const std::size_t turn : m_choice.turns) {
            const PackageEntry& entry = plan.entries[turn];
            const QString target = plan.strUnpackDir + u'/' + entry.strName;
            QFile image(target);
            if (!image.open(QIODevice::WriteOnly | QIODevice::Truncate)
                || image.write(entry.bytes) != entry.bytes.size()) {
                *cannotUnpack = target + u": "_s + image.errorString();
                return false;
            }
        }
    }
    m_plan = std::move(plan);
    m_events = std::move(events);
    m_exchange.SetEvents(ExchangeEvents());
    m_result = Result{};
    m_sinceRestart.invalidate();
    m_nTurn = 0;
    m_stage = Stage::Sending;
    NextImage();
    return true;
}

void CUpgradeRun::NextImage()
{
    while (m_nTurn < m_choice.turns.size()) {
        const PackageEntry& entry = m_plan.entries[m_choice.turns[m_nTurn++]];
        RunImage image{entry.strName, QString(), QByteArray(), ImageKindForName(entry.strName), 0, 0,
                       m_choice.nImages};
        if (m_plan.strUnpackDir.isEmpty()) {
            image.bytes = entry.bytes;
        } else {
            image.strPath = m_plan.strUnpackDir + u'/' + entry.strName;
            QString unreadable;
            if (!ReadRegularFile(image.strPath, PackageLimits{}.nEntryMax, &image.bytes, &unreadable)) {
                // Nothing was triggered for it.
                m_image = image;
                Finish(End::ImageUnreadable, PrintableName(image.strPath) + u": "_s + unreadable);
                return;
            }
        }
        image.nChecksum = ComputeChecksum(image.bytes);
        if (image.kind != ImageKind::Other)
            image.nNumber = m_result.nImagesDone + 1;
        if (m_events.examined)
            m_events.examined(image);
        if (image.kind == ImageKind::Other)
            continue;
        m_image = image;
        const int kind = static_cast<int>(m_image.kind);
        const TransferJob job = m_image.strPath.isEmpty()
                                    ? TransferJob{m_image.strName, kind, m_image.nChecksum, m_image.bytes}
                                    : TransferJob{m_image.strPath, kind, m_image.nChecksum, std::nullopt};
        // A camera being recovered takes its first image in the boot window
        // a power cycle opens; once that image runs, it restarts on the trigger.
        m_bAwaitingBoot = m_plan.nRecoverWaitMs > 0 && m_result.nImagesDone == 0;
        if (m_bAwaitingBoot) {
            const int requests = std::max(1, m_plan.nRecoverWaitMs / kRecoveryRequestPeriodMs);
            m_exchange.Start(job, {kRecoveryRequestPeriodMs, requests, ConfirmWaitMs()});
            return;
        }
        m_session.WriteRegister(0, kRestartRegister);
        m_session.WriteRegister(1, kRestartRegister);
        m_bTriggered = true;
        if (m_events.triggered)
            m_events.triggered(m_image);
        m_exchange.Start(job, {.nConfirmWaitMs = ConfirmWaitMs()});
        return;
    }
    if (!m_plan.bRestartAndVerify)
        Finish(End::Done);
    else if (m_result.nImagesDone > 0)
        Restart();
    else
        Verify(); // nothing was sent: the camera as read is what it runs
}

int CUpgradeRun::ConfirmWaitMs() const
{
    // A camera that flashes for as long as the plan waits may say nothing after a noise 'D' for as long.
    return m_plan.nFlashWaitMs > 0 ? m_plan.nFlashWaitMs : kAnswerWaitMs;
}

void CUpgradeRun::OnImageEnd(CUpgradeExchange::Outcome outcome, const QString& detail)
{
    using Outcome = CUpgradeExchange::Outcome;
    m_flashTimer.stop();
    switch (outcome) {
    case Outcome::Done:
        m_bTriggered = false; // released
        m_bAwaitingBoot = false;
        ++m_result.nImagesDone;
        if (m_events.flashed)
            m_events.flashed(m_image);
        if (m_result.bAbandoned)
            Finish(End::Done);
        else
            NextImage(); // its trigger follows the "R"
        return;
    case Outcome::Reported: Finish(End::Reported, detail); return;
    case Outcome::Unanswered: Finish(End::Unanswered); return;
    case Outcome::NotReady: Finish(End::NotReady); return;
    case Outcome::ImageUnreadable: Finish(End::ImageUnreadable, detail); return;
    case Outcome::PortGone: Finish(End::PortGone); return;
    case Outcome::Silent: Finish(End::Silent); return;
    case Outcome::Unconfirmed: Finish(End::Unconfirmed); return;
    }
}

void CUpgradeRun::Restart()
{
    // As the window's restart button: the trigger, then a pause until the
    // camera has had time to start again. The port stays open through it,
    // so that no other program can take it and write to a camera that is
    // still this run's.
    m_stage = Stage::Restarting;
    if (m_events.stage)
        m_events.stage(m_stage);
    m_session.WriteRegister(0, kRestartRegister);
    m_session.WriteRegister(1, kRestartRegister);
    m_session.WhenSent([this, run = std::weak_ptr<char>(m_run)] {
        if (!run.expired())
            AwaitBoot();
    });
}

void CUpgradeRun::AwaitBoot()
{
    if (m_bootTimer.isActive())
        return;
    m_sinceRestart.start();
    m_bootTimer.start(kBootPauseMs);
}

void CUpgradeRun::OnBootPauseOver()
{
    m_stage = Stage::Verifying;
    if (m_events.stage)
        m_events.stage(m_stage);
    if (std::exchange(m_bLostInRestart, false)) {
        // Opened again to tell a port that is gone from one that came back.
        // One that came back may hold another camera: what answers there
        // proves nothing of this one's upgrade.
        m_session.Line().Close();
        if (!m_session.Reopen()) {
            m_result.bReopenFailed = true;
            Finish(End::NotBack, m_session.Line().OpenError().strSystemText);
            return;
        }
        m_session.Line().StartMonitor();
        m_result.bReplugged = true;
        Finish(End::NotBack);
        return;
    }
    m_session.ReadCycle();
}

void CUpgradeRun::OnConfigurationRead()
{
    if (m_stage == Stage::Verifying)
        Verify();
}

void CUpgradeRun::OnReadFailed(const ReadFailure& failure)
{
    if (m_stage != Stage::Verifying)
        return;
    if (!m_sinceRestart.hasExpired(kComeBackMs)) {
        m_session.ReadCycle(); // still starting, perhaps
        return;
    }
    m_result.readFailure = failure;
    Finish(End::NotBack);
}

void CUpgradeRun::OnDeviceLost()
{
    if (m_stage == Stage::Restarting) {
        // Lost before the trigger was known to be out, or while the camera
        // starts: opening the port again after the pause tells.
        m_bLostInRestart = true;
        AwaitBoot();
        return;
    }
    if (m_stage != Stage::Verifying)
        return;
    m_result.bLost = true;
    Finish(End::NotBack);
}

void CUpgradeRun::Verify()
{
    m_result.after = VersionsOfCamera(m_session.Registers().data());
    m_result.mismatches = CompareVersions(VersionsOfPackage(m_plan.entries), m_result.after);
    Finish(m_result.mismatches.empty() ? End::Done : End::NotVerified);
}

bool CUpgradeRun::Abandon()
{
    if (m_stage != Stage::Sending || !m_exchange.Abandon())
        return false;
    m_result.bAbandoned = true;
    return true;
}

void CUpgradeRun::Stop(bool release)
{
    const bool answered = m_exchange.Answered();
    m_exchange.Cancel();
    m_flashTimer.stop();
    m_bootTimer.stop();
    m_run = std::make_shared<char>();
    if (release && (m_bTriggered || answered))
        m_session.Sender().Send("R");
    m_bTriggered = false;
    m_bAwaitingBoot = false;
    m_bLostInRestart = false;
    m_stage = Stage::Idle;
}

void CUpgradeRun::Finish(End end, const QString& detail)
{
    Stop(false);
    m_result.end = end;
    m_result.strDetail = detail;
    m_result.image = m_image;
    if (m_sinceRestart.isValid())
        m_result.nMsSinceRestart = m_sinceRestart.elapsed();
    // Taken first: the front end may start the next run from here.
    const Events events = std::exchange(m_events, Events{});
    if (events.finished)
        events.finished(m_result);
}
