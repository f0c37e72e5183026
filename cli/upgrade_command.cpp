// orvane-cli upgrade: the package's images, one by one, with progress.
#include "cli/cli_commands.h"
#include "cli/upgrade_images.h"
#include "core/config/printable_text.h"
#include "core/firmware/version_check.h"
#include "provision/camera_link.h"
#include "provision/next_step_english.h"
#include "provision/skipped_images.h"
#include "provision/upgrade_on_link.h"

#include <QDateTime>

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
    // Done means the camera runs the images: restarted, read and verified,
    // unless asked not to.
    UpgradePlan plan{std::move(contents->entries), QString(), !options.bNoRestart, 0};
    if (plan.bRestartAndVerify) {
        for (const QString& note : UnverifiableVersions(plan.entries))
            io.err << u"orvane-cli: note: "_s << note << Qt::endl;
    }
    if (options.bRecover) {
        // The camera answers no read: nothing is read, and it is verified after.
        QString error;
        if (!link.Open(options.strPort, options.nBaud, &error)) {
            TellLinkFailure(link, error, io);
            return ExitCode::CameraOrPort;
        }
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
    const bool verify = plan.bRestartAndVerify;
    const bool nothingToVerify = VersionsOfPackage(plan.entries).IsEmpty();
    const QDateTime began = QDateTime::currentDateTime(); // records kept from here on are of this run
    const UpgradeEnd end = RunUpgradeOn(link, std::move(plan), observer);
    if (!end.strFailure.isEmpty()) {
        const QString what = end.bOfImage ? ImagePrefix(end.image) : link.PortName();
        io.err << u"orvane-cli: %1: %2"_s.arg(what, end.strFailure) << Qt::endl;
        if (end.nextStep)
            TellNextStep(io.err, *end.nextStep);
        return ExitCode::CameraOrPort;
    }
    const QString recordPort = link.Connection().RecordPort();
    link.Close();
    io.out << u"upgrade finished: %1 image(s) sent\n"_s.arg(choice.nImages);
    if (!verify) {
        io.out << u"the camera runs the new firmware from its next restart: restart the camera (orvane-cli "
                  "restart) to run it\n"_s;
    } else {
        const FirmwareVersions& now = end.result->after;
        const QString versions = u"software %1, hardware %2"_s.arg(now.strSoftware, now.strHardware);
        if (options.bRecover)
            io.out << u"recovered and verified: the camera now reports "_s << versions << u'\n';
        else if (nothingToVerify)
            io.out << u"restarted: the camera answers again and reports %1 (the package names no version to "
                      "verify)\n"_s.arg(versions);
        else
            io.out << u"restarted and verified: the camera now reports "_s << versions << u'\n';
    }
    io.out << Qt::flush;
    // A recovery brings back the firmware; the settings come from what was kept before it.
    return options.bRestoreBackup ? RestoreKeptSettings(recordPort, began, options, io) : ExitCode::Success;
}
