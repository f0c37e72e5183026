#include "upgrade_run.h"

#include "camera_link.h"
#include "protocol/link_protocol.h"
#include "protocol/upgrade_protocol.h"
#include "upgrade_exchange.h"

#include <QDeadlineTimer>
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

// Interrupted once the image was under way: the camera is let finish with
// it (the rest goes out as filler it refuses), answer, and be released, so
// that it answers again; a second Ctrl-C stops at once.
QString AfterAbandon(CCameraLink& link, CUpgradeExchange& exchange, const UpgradeObserver& observer,
                     const std::function<bool()>& over, const std::optional<CUpgradeExchange::Outcome>& outcome,
                     const QString& detail)
{
    observer.stage(u"interrupted: completing the image with filler the camera refuses, waiting for its answer, "
                   "then releasing it (Ctrl-C again stops at once)"_s);
    if (!link.WaitUntilInterruptedAgain(over)) {
        exchange.Cancel();
        link.Send("R");
        return u"stopped at once in the middle of an image: the camera may answer nothing until it is powered "
               "off and on; then upgrade it again"_s;
    }
    if (link.DeviceLost())
        return link.LossText();
    if (!outcome) {
        exchange.Cancel();
        link.Send("R");
        return u"interrupted: the camera did not finish flashing; it was released and needs this upgrade again"_s;
    }
    using Outcome = CUpgradeExchange::Outcome;
    switch (*outcome) {
    case Outcome::Reported:
        return u"interrupted: the camera refused it (%1) and was released; upgrade it again"_s.arg(detail);
    case Outcome::Done:
        return u"interrupted: the camera flashed this image and was released; the images after it were not sent"_s;
    default:
        return u"interrupted: the camera did not answer for the image and was released; upgrade it again"_s;
    }
}

} // namespace

QString SendImage(CCameraLink& link, const UpgradeImage& image, const UpgradeObserver& observer)
{
    using Outcome = CUpgradeExchange::Outcome;
    std::optional<Outcome> outcome;
    QString detail;
    QElapsedTimer clock;
    QDeadlineTimer flashDeadline(QDeadlineTimer::Forever);
    CUpgradeExchange exchange(
        link.Session(), link.Timers(),
        {{},
         [](int) {},
         [&](bool running) {
             if (running) {
                 clock.start();
                 observer.stage(u"transferring"_s);
             }
         },
         [](const QString&) {},
         [&](int percent) {
             const qint64 total = image.bytes.size();
             const qint64 sent = total * percent / 100;
             const qint64 rate = sent * 1000 / std::max<qint64>(1, clock.elapsed());
             observer.progress(percent, rate, rate > 0 ? (total - sent) * 1000 / rate : 0);
         },
         [&](const TransferReport& report) {
             observer.sent(report.nBytes, TransferRate(report));
             observer.stage(u"sent %1 bytes in %2 s (%3 B/s), waiting for the camera"_s.arg(report.nBytes)
                                .arg(double(report.nElapsedMs) / 1000.0, 0, 'f', 2)
                                .arg(TransferRate(report)));
         },
         [&] {
             observer.stage(u"the camera has stored the image, flashing"_s);
             flashDeadline.setRemainingTime(kFlashWaitMs);
         },
         [&](Outcome end, const QString& text) {
             outcome = end;
             detail = text;
         }});
    const CCameraLink::UpgradeRoute route(link, exchange);

    link.Write({0, kRestartRegister});
    link.Write({1, kRestartRegister});
    exchange.Start({image.strName, image.nKind, image.nChecksum, image.bytes});
    observer.stage(u"restart triggered, requesting the upgrade"_s);
    const auto over = [&] { return outcome || link.DeviceLost() || flashDeadline.hasExpired(); };
    const bool ended = link.WaitUntil(over, -1);
    if (!outcome && !ended && exchange.Abandon())
        return AfterAbandon(link, exchange, observer, over, outcome, detail);
    if (!outcome) {
        exchange.Cancel();
        if (link.DeviceLost())
            return link.LossText();
        link.Send("R");
        return ended ? u"the camera did not finish flashing"_s
                     : u"interrupted before the image went out: the camera was released (after a restart it "
                       "answers again within seconds) and needs this upgrade again"_s;
    }
    switch (*outcome) {
    case Outcome::Done: observer.stage(u"done"_s); return QString();
    case Outcome::Reported: return ReportText(detail);
    case Outcome::Unanswered: return u"the camera did not answer %1 requests"_s.arg(kRequests);
    case Outcome::NotReady: break; // the command line lets every transfer start
    case Outcome::ImageUnreadable: return u"cannot read the image "_s + detail;
    case Outcome::PortGone: return link.LossText();
    case Outcome::Silent:
        return u"the camera did not say whether it took the image; check the line and upgrade again"_s;
    }
    return u"the transfer did not start"_s;
}
