#include "upgrade_run.h"

#include "camera_link.h"
#include "protocol/link_protocol.h"
#include "image_transfer.h"
#include "protocol/upgrade_protocol.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int kFlashWaitMs = 120000; // for 'D' once the camera has stored the image

QString ReportText(const std::string& report)
{
    static const std::pair<const char*, const char16_t*> kReports[] = {
        {"E001", u"checksum error"},  {"E002", u"flash operation error"},
        {"E003", u"file size error"}, {"E004", u"upgrade command format error"},
        {"E010", u"other unknown error"},
    };
    for (const auto& [code, text] : kReports) {
        if (report == code)
            return u"the camera reported %1 (%2)"_s.arg(QLatin1StringView(code), QStringView(text));
    }
    return u"the camera reported %1"_s.arg(QString::fromStdString(report));
}

} // namespace

QString SendImage(CCameraLink& link, const UpgradeImage& image, const UpgradeObserver& observer)
{
    CSerialPort& port = link.Port();
    const auto release = [&](const QString& why) {
        link.Send("R");
        return why;
    };
    const auto stopped = [&] {
        return CCameraLink::s_bInterrupted ? u"interrupted: the camera may need this upgrade again"_s
                                           : link.LossText();
    };

    CUpgradeReplies replies;
    // Reads the camera until `wanted` or a report; -1 when time ran out or the run was stopped.
    const auto await = [&](std::initializer_list<CUpgradeReplies::Event> wanted, int timeoutMs,
                            CUpgradeReplies::Event* seen) {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            const int ch = link.NextChar(int(std::max<qint64>(0, deadline.remainingTime())));
            if (ch < 0)
                return false;
            *seen = replies.Receive(static_cast<char>(ch));
            if (*seen == CUpgradeReplies::Event::Report || std::find(wanted.begin(), wanted.end(), *seen) != wanted.end())
                return true;
        }
    };

    link.DiscardReceived();
    link.Write({0, kRestartRegister});
    link.Write({1, kRestartRegister});
    if (!link.WaitSent()) // the requests count from the trigger's going out
        return stopped();
    observer.stage(u"restart triggered, requesting the upgrade"_s);
    CUpgradeReplies::Event seen = CUpgradeReplies::Event::None;
    for (int tries = 0;; ++tries) {
        if (await({CUpgradeReplies::Event::Ready}, kRequestPeriodMs, &seen))
            break;
        if (CCameraLink::s_bInterrupted || link.DeviceLost())
            return release(stopped());
        if (tries == kRequests)
            return u"the camera did not answer %1 requests"_s.arg(kRequests);
        link.Send("*****");
    }
    if (seen == CUpgradeReplies::Event::Report)
        return release(ReportText(replies.Report()));

    link.Send("U", kReadyPauseMs);
    if (!link.WaitSent()) // the transfer writes to the port itself
        return release(stopped());
    observer.stage(u"transferring"_s);
    std::optional<TransferReport> result;
    QElapsedTimer clock;
    clock.start();
    CImageTransfer transfer(port, {[](const QString&) {},
                                   [&](int percent) {
                                       const qint64 total = image.bytes.size();
                                       const qint64 sent = total * percent / 100;
                                       const qint64 ms = std::max<qint64>(1, clock.elapsed());
                                       const qint64 rate = sent * 1000 / ms;
                                       observer.progress(percent, rate, rate > 0 ? (total - sent) * 1000 / rate : 0);
                                   },
                                   [&](const TransferReport& report) { result = report; }});
    transfer.Start({image.strName, image.nKind, image.nChecksum, image.bytes});
    // 'S' and 'D' may overtake the transfer's end (the camera answers as the
    // last byte arrives, while the last pause runs): each counts, in order.
    using E = CUpgradeReplies::Event;
    E furthest = E::None; // Stored or Done, once seen
    const auto note = [&furthest](E event) {
        if (event == E::Done || (event == E::Stored && furthest == E::None))
            furthest = event;
    };
    while (!result) {
        if (!link.WaitUntil([&] { return result || link.CharWaiting() || link.DeviceLost(); }, -1)) {
            transfer.Cancel();
            return release(stopped());
        }
        while (link.CharWaiting()) {
            seen = replies.Receive(static_cast<char>(link.NextChar(0)));
            note(seen);
            if (seen == E::Report) {
                transfer.Cancel();
                return release(ReportText(replies.Report()));
            }
        }
        if (link.DeviceLost() && !result) {
            transfer.Cancel();
            return stopped();
        }
    }
    switch (result->outcome) {
    case TransferReport::Outcome::Sent: break;
    case TransferReport::Outcome::ImageUnreadable: return release(u"cannot read the image "_s + result->strDetail);
    case TransferReport::Outcome::PortGone: return stopped();
    }
    observer.stage(u"sent %1 bytes in %2 s (%3 B/s), waiting for the camera"_s.arg(result->nBytes)
                       .arg(double(result->nElapsedMs) / 1000.0, 0, 'f', 2)
                       .arg(TransferRate(*result)));

    if (furthest == E::None) {
        if (!await({E::Stored, E::Done}, kAnswerWaitMs, &seen))
            return release(CCameraLink::s_bInterrupted || link.DeviceLost()
                               ? stopped()
                               : u"the camera did not say whether it took the image; check the line and upgrade again"_s);
        if (seen == E::Report)
            return release(ReportText(replies.Report()));
        note(seen);
    }
    if (furthest == E::Stored) {
        observer.stage(u"the camera has stored the image, flashing"_s);
        if (!await({E::Done}, kFlashWaitMs, &seen))
            return release(CCameraLink::s_bInterrupted || link.DeviceLost() ? stopped()
                                                                           : u"the camera did not finish flashing"_s);
        if (seen == E::Report)
            return release(ReportText(replies.Report()));
    }
    link.Pause(kReleasePauseMs);
    link.Send("R");
    observer.stage(u"done"_s);
    return QString();
}
