// orvane-cli upgrade: the package's images, one by one, with progress.
#include "cli/camera_link.h"
#include "cli/cli_commands.h"
#include "core/config/printable_text.h"
#include "cli/upgrade_images.h"
#include "cli/cli_upgrade_run.h"

using namespace Qt::StringLiterals;

namespace {

QString ImagePrefix(const RunImage& image)
{
    return u"[%1/%2] %3"_s.arg(image.nNumber).arg(image.nCount).arg(PrintableName(image.strName));
}

} // namespace

int RunUpgrade(const CliOptions& options, CliStreams& io)
{
    // Checked whole before the port is opened, so a bad package sends nothing.
    std::optional<PackageContents> contents = CheckedPackage(options.strFile, io);
    if (!contents)
        return ExitCode::Usage;

    CCameraLink link(ErrorLines(io));
    UpgradePlan plan{std::move(contents->entries), QString(), false, 0};
    if (options.bRecover) {
        // The camera answers no read: nothing is read, and it is verified after.
        QString error;
        if (!link.Open(options.strPort, options.nBaud, &error)) {
            io.err << u"orvane-cli: "_s << error << Qt::endl;
            return ExitCode::CameraOrPort;
        }
        plan.bRestartAndVerify = true;
        plan.nRecoverWaitMs = options.nRecoverWaitS * 1000;
    } else if (!OpenAndRead(link, options, io)) {
        return ExitCode::CameraOrPort;
    }
    const ImageChoice choice = link.Upgrade().Choose(plan);
    for (const QString& line : SkippedLines(*contents, choice))
        io.out << u"skipped "_s << line << u'\n';
    if (choice.nImages == 0) {
        io.out << u"nothing to send: the camera runs every image of the package already\n"_s << Qt::flush;
        return ExitCode::Success;
    }

    QString prefix;
    int lastShown = -1;
    const UpgradeObserver observer{
        [&](const RunImage& image) {
            prefix = ImagePrefix(image);
            io.out << u"%1: %2 bytes, checksum %3\n"_s.arg(prefix).arg(image.bytes.size()).arg(image.nChecksum, 0, 16)
                   << Qt::flush;
        },
        [&](const QString& stage) {
            if (io.bTerminal && lastShown >= 0)
                io.out << u'\n';
            lastShown = -1;
            io.out << prefix << u": "_s << stage << u'\n' << Qt::flush;
        },
        [&](int percent, qint64 rate, qint64 msLeft) {
            if (io.bTerminal) {
                io.out << u"\r%1: %2%  %3 B/s  %4 s left   "_s.arg(prefix).arg(percent, 3).arg(rate).arg(msLeft / 1000)
                       << Qt::flush;
                lastShown = percent;
            }
        },
    };
    const UpgradeEnd end = RunUpgradeOn(link, std::move(plan), observer);
    if (!end.strFailure.isEmpty()) {
        const QString what = end.bOfImage ? ImagePrefix(end.image) : link.PortName();
        io.err << u"orvane-cli: %1: %2"_s.arg(what, end.strFailure) << Qt::endl;
        return ExitCode::CameraOrPort;
    }
    link.Close();
    io.out << u"upgrade finished: %1 image(s) sent\n"_s.arg(choice.nImages);
    if (options.bRecover) {
        const FirmwareVersions& now = end.result->after;
        io.out << u"recovered and verified: the camera now reports software %1, hardware %2\n"_s.arg(
            now.strSoftware, now.strHardware);
    }
    io.out << Qt::flush;
    return ExitCode::Success;
}
