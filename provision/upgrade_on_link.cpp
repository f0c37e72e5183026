#include "provision/upgrade_on_link.h"

#include "core/config/printable_text.h"
#include "core/protocol/upgrade_protocol.h"
#include "provision/camera_link.h"

#include <QElapsedTimer>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr int kFlashWaitMs = 120000; // for 'D' once the camera has stored the image

// The command line's words for what a report means.
QString ReportText(const QString& report)
{
    const auto said = [&](const char16_t* meaning) { return u"the camera reported %1 (%2)"_s.arg(report, meaning); };
    switch (ReportMeaning(report.toStdString())) {
    case CameraReport::ChecksumError: return said(u"checksum error");
    case CameraReport::FlashError: return said(u"flash operation error");
    case CameraReport::FileSizeError: return said(u"file size error");
    case CameraReport::CommandError: return said(u"upgrade command format error");
    case CameraReport::UnknownError: return said(u"other unknown error");
    case CameraReport::Unlisted: break;
    }
    return u"the camera reported %1"_s.arg(report);
}

// The line went away in the middle of an image: the camera waits for the
// rest of it and may answer nothing until it is powered off and on.
QString MidImageLossText(const CCameraLink& link)
{
    return link.LossText() + u" in the middle of an image: the camera may answer nothing until it is powered off "
                             "and on"_s;
}

// After the restart: the port, or the camera, did not come back.
QString NotBackText(const CCameraLink& link, const CUpgradeRun::Result& result)
{
    if (result.readFailure)
        return u"the camera was not back %1 s after its restart: %2"_s.arg(CUpgradeRun::kComeBackMs / 1000).arg(link.ReadFailureText(*result.readFailure));
    if (result.bReplugged)
        return u"its port went away while the camera restarted and came back: the camera on it may be another "
               "one, and this camera's upgrade was not verified; run the command again for this camera"_s;
    const bool reopen = result.bReopenFailed;
    return u"%1 s after the camera's restart, %2: %3; the upgrade was sent: provision the camera again once the "
           "port is back, to verify it"_s.arg(static_cast<double>(result.nMsSinceRestart) / 1000.0, 0, 'f', 1)
        .arg(reopen ? u"its port could not be opened again"_s : u"while waiting for it to answer"_s,
             reopen ? link.OpenFailureText() : link.LossText() + u" during the read"_s);
}

// The next step after a run that ended in a failure; nothing where its text
// already says what to do.
std::optional<NextStep> EndStep(const CUpgradeRun::Result& result, NextStep lostLine)
{
    using End = CUpgradeRun::End;
    switch (result.end) {
    case End::Reported: return NextStepForReport(result.strDetail.toStdString());
    case End::Unanswered: return NextStep::SearchOrRecover;
    case End::PortGone: return NextStep::PowerCycleRetry; // once the line is back: the camera is cut off mid-image
    case End::NotFlashed: return NextStep::PowerCycleRetry;
    case End::NotVerified: return NextStep::CheckPackage;
    case End::NotBack:
        if (result.bReplugged)
            return std::nullopt;
        return result.readFailure ? NextStep::SearchOrRecover : lostLine;
    case End::Done:
    case End::NotReady:
    case End::ImageUnreadable:
    case End::Silent:
    case End::Unconfirmed: break;
    }
    return std::nullopt;
}

QString EndText(const CCameraLink& link, const CUpgradeRun::Result& result)
{
    using End = CUpgradeRun::End;
    switch (result.end) {
    case End::Done: return QString();
    case End::Reported: return ReportText(result.strDetail);
    case End::Unanswered: return u"the camera did not answer %1 requests"_s.arg(kRequests);
    case End::NotReady: break; // the command line lets every transfer start
    case End::ImageUnreadable: return u"cannot read the image "_s + result.strDetail;
    case End::PortGone: return MidImageLossText(link);
    case End::Silent: return u"the camera did not say whether it took the image; check the line and upgrade again"_s;
    case End::NotFlashed: return u"the camera did not finish flashing"_s;
    case End::Unconfirmed:
        return u"could not confirm the image: the camera said it was flashed, then answered no read after its "
               "release and reported nothing; it was released again. Check it with 'read', and upgrade it again "
               "if it does not answer"_s;
    case End::NotBack: return NotBackText(link, result);
    case End::NotVerified: {
        QStringList what;
        for (const VersionMismatch& mismatch : result.mismatches)
            what.append(u"%1 version %2 where the package's image names %3"_s.arg(
                mismatch.bSoftware ? u"software"_s : u"hardware"_s, mismatch.strReported, mismatch.strExpected));
        return u"not verified: after the upgrade and a restart the camera reports "_s + what.join(u", and "_s);
    }
    }
    return u"the transfer did not start"_s;
}

// Interrupted once the image was under way: the camera is let finish with
// it, answer, and be released, so that it answers again.
QString AfterAbandon(CCameraLink& link, const UpgradeObserver& observer, const std::function<bool()>& over,
                     const std::optional<CUpgradeRun::Result>& end, bool restartPlanned)
{
    observer.stage(u"interrupted: completing the image with filler the camera refuses, waiting for its answer, "
                   "then releasing it (Ctrl-C again stops at once)"_s);
    if (!link.WaitUntilInterruptedAgain(over)) {
        link.Upgrade().Stop(true);
        return u"stopped at once in the middle of an image: the camera may answer nothing until it is powered "
               "off and on; then upgrade it again"_s;
    }
    if (link.DeviceLost()) {
        link.Upgrade().Stop(false);
        return link.LossText();
    }
    using End = CUpgradeRun::End;
    switch (end->end) {
    case End::Reported:
        return u"interrupted: the camera refused it (%1) and was released; upgrade it again"_s.arg(end->strDetail);
    case End::Done:
        if (end->image.nNumber < end->image.nCount)
            return u"interrupted: the camera flashed this image and was released; the images after it were not sent"_s;
        return restartPlanned ? u"interrupted: the camera flashed this image and was released; it was not restarted "
                                "and verified"_s
                              : u"interrupted: the camera flashed this image and was released"_s;
    case End::NotFlashed:
        return u"interrupted: the camera did not finish flashing; it was released and needs this upgrade again"_s;
    default:
        return u"interrupted: the camera did not answer for the image and was released; upgrade it again"_s;
    }
}

QString UnansweredRecoveryText(int waitS)
{
    return u"the camera did not answer the requests within %1 s; nothing but \"*****\" was sent. Power the camera "
           "off and on while the requests go out, or check the line"_s.arg(waitS);
}

} // namespace

UpgradeEnd RunUpgradeOn(CCameraLink& link, UpgradePlan plan, const UpgradeObserver& observer)
{
    using Stage = CUpgradeRun::Stage;
    CUpgradeRun& run = link.Upgrade();
    std::optional<CUpgradeRun::Result> end;
    QElapsedTimer clock;
    qint64 size = 0;
    bool transferBegun = false; // of the image under way
    plan.nFlashWaitMs = kFlashWaitMs;
    const bool restartPlanned = plan.bRestartAndVerify;
    const int recoverWaitMs = plan.nRecoverWaitMs;
    CUpgradeRun::Events events{
        {{},
         [](int) {},
         [&](bool running) {
             if (running) {
                 transferBegun = true;
                 clock.start();
                 observer.stage(u"transferring"_s);
             }
         },
         [](const QString&) {},
         [&](int percent) {
             const qint64 sent = size * percent / 100;
             const qint64 rate = sent * 1000 / std::max<qint64>(1, clock.elapsed());
             observer.progress(percent, rate, rate > 0 ? (size - sent) * 1000 / rate : 0);
         },
         [&](const TransferReport& report) {
             observer.sent(report.nBytes, TransferRate(report));
             observer.stage(u"sent %1 bytes in %2 s (%3 B/s), waiting for the camera"_s.arg(report.nBytes)
                                .arg(double(report.nElapsedMs) / 1000.0, 0, 'f', 2)
                                .arg(TransferRate(report)));
         },
         [&] { observer.stage(u"the camera has stored the image, flashing"_s); },
         {}},
        [&](const RunImage& image) {
            size = image.bytes.size();
            transferBegun = false;
            if (image.kind != ImageKind::Other)
                observer.image(image);
        },
        [&](const RunImage&) { observer.stage(u"restart triggered, requesting the upgrade"_s); },
        [&](Stage stage) { observer.stage(stage == Stage::Restarting ? u"restarting"_s : u"verifying"_s); },
        [&](const CUpgradeRun::Result& result) { end = result; },
        [&](const RunImage& image) {
            observer.stage(u"done"_s);
            observer.flashed(image);
        },
        [&] {
            observer.stage(u"requesting the upgrade every %1 s for %2 s: power the camera off and on now"_s
                               .arg(double(kRecoveryRequestPeriodMs) / 1000.0)
                               .arg(recoverWaitMs / 1000));
        },
    };
    QString unused;
    link.Connection().BeginWrite(plan.nRecoverWaitMs > 0 ? u"recover"_s : u"upgrade"_s);
    run.Start(std::move(plan), std::move(events), &unused); // from memory: nothing to unpack
    // The run itself waits for a camera that went away while it restarts.
    const auto over = [&] { return end.has_value() || (link.DeviceLost() && run.CurrentStage() == Stage::Sending); };
    const bool ended = link.WaitUntil(over, -1);
    const auto ofImage = [&](const QString& failure) { return UpgradeEnd{failure, true, run.CurrentImage(), end, {}}; };
    // Where the image was when the line went away: not begun (the camera
    // was restarting for it, or asked for it), flashed and not yet released,
    // or in between, where the camera may wait for the rest of it.
    const auto portLost = [&] {
        if (!transferBegun) {
            UpgradeEnd lost = ofImage(link.LossText() + u" before the image went out: none of it reached the camera"_s);
            lost.nextStep = link.LostLineStep();
            return lost;
        }
        if (run.Exchange().Confirming()) {
            UpgradeEnd lost = ofImage(link.LossText() + u" after the camera flashed the image, before it was released"_s);
            lost.nextStep = link.LostLineStep();
            return lost;
        }
        UpgradeEnd lost = ofImage(MidImageLossText(link));
        lost.nextStep = NextStep::PowerCycleRetry;
        lost.bLostMidImage = true;
        return lost;
    };
    if (end) {
        const bool afterImages = end->end == CUpgradeRun::End::NotBack || end->end == CUpgradeRun::End::NotVerified;
        const bool bootUnanswered = recoverWaitMs > 0 && end->end == CUpgradeRun::End::Unanswered
                                    && end->nImagesDone == 0;
        if (bootUnanswered) // its text says to power-cycle the camera
            return {UnansweredRecoveryText(recoverWaitMs / 1000), !afterImages, end->image, *end, {}};
        UpgradeEnd result{EndText(link, *end), !afterImages, end->image, *end, EndStep(*end, link.LostLineStep())};
        result.bLostMidImage = end->end == CUpgradeRun::End::PortGone;
        return result;
    }
    if (ended) { // the port went away
        const UpgradeEnd lost = portLost();
        run.Stop(false);
        return lost;
    }
    switch (run.CurrentStage()) {
    case Stage::Restarting: run.Stop(false); return {u"interrupted while the camera restarted"_s, false, {}, {}, {}};
    case Stage::Verifying:
        run.Stop(false);
        return {u"interrupted while waiting for the camera after its restart"_s, false, {}, {}, {}};
    case Stage::Idle:
    case Stage::Sending: break;
    }
    const bool answered = run.Exchange().Answered() || run.CurrentImage().nNumber > 1;
    if (run.Abandon())
        return ofImage(AfterAbandon(link, observer, over, end, restartPlanned));
    if (recoverWaitMs > 0 && !answered) {
        run.Stop(false);
        return ofImage(u"interrupted before the camera answered: nothing but \"*****\" was sent"_s);
    }
    if (link.DeviceLost()) {
        const UpgradeEnd lost = portLost();
        run.Stop(false);
        return lost;
    }
    run.Stop(true);
    return ofImage(u"interrupted before the image went out: the camera was released (after a restart it "
                   "answers again within seconds) and needs this upgrade again"_s);
}
