// orvane-cli upgrade: the package's images, one by one, with progress.
#include "camera_link.h"
#include "cli_commands.h"
#include "upgrade_run.h"
#include "protocol/register_map.h"
#include "settings/image_settings.h"
#include "protocol/checksum.h"
#include "firmware/image_files.h"
#include "firmware/package_reader.h"

using namespace Qt::StringLiterals;

namespace {

// The package read and checked whole, or nullopt after saying why.
std::optional<PackageContents> CheckedPackage(const QString& path, CliStreams& io)
{
    QByteArray package;
    if (!ReadInputFile(path, kPackageFileMax, &package, io))
        return std::nullopt;
    PackageError error;
    std::optional<PackageContents> contents = ReadPackage(package, PackageLimits{}, &error);
    if (!contents) {
        const bool notAPackage = error.fault == PackageFault::NotTagged || error.fault == PackageFault::NotAZip;
        io.err << (notAPackage ? u"orvane-cli: %1 is not an upgrade package (%2); nothing was sent"_s
                               : u"orvane-cli: %1 is a bad upgrade package, nothing was sent: %2"_s)
                      .arg(path, error.strDetail)
               << Qt::endl;
    }
    return contents;
}

// The images of the package the camera does not run yet, each with a line
// for what is left out.
std::vector<UpgradeImage> ImagesToSend(const PackageContents& contents, const CCameraLink& link, CliStreams& io)
{
    for (const QString& line : contents.skipped)
        io.out << u"skipped "_s << line << u'\n';
    const ImageSettings camera = DecodeImageSettings(link.Registers().data());
    const QString software = VersionText(camera.nSoftwareVersion);
    const QString hardware = VersionText(camera.nHardwareVersion);
    std::vector<UpgradeImage> images;
    for (const PackageEntry& entry : contents.entries) {
        const QString shown = PrintableName(entry.strName);
        const ImageKind kind = ImageKindForName(entry.strName);
        if (kind == ImageKind::Other)
            io.out << u"skipped %1: not an elf, sof or font image\n"_s.arg(shown);
        else if (CheckImageName(entry.strName, software, hardware) == 0)
            io.out << u"skipped %1: the camera runs this version already\n"_s.arg(shown);
        else
            images.push_back({shown, entry.bytes, int(kind), ComputeChecksum(entry.bytes)});
    }
    return images;
}

} // namespace

int RunUpgrade(const CliOptions& options, CliStreams& io)
{
    // Checked whole before the port is opened, so a bad package sends nothing.
    const std::optional<PackageContents> contents = CheckedPackage(options.strFile, io);
    if (!contents)
        return ExitCode::Usage;

    CCameraLink link(io.err);
    if (!OpenAndRead(link, options, io))
        return ExitCode::CameraOrPort;
    const std::vector<UpgradeImage> images = ImagesToSend(*contents, link, io);
    if (images.empty()) {
        io.out << u"nothing to send: the camera runs every image of the package already\n"_s << Qt::flush;
        return ExitCode::Success;
    }

    for (std::size_t i = 0; i < images.size(); ++i) {
        const UpgradeImage& image = images[i];
        const QString prefix = u"[%1/%2] %3"_s.arg(i + 1).arg(images.size()).arg(image.strName);
        io.out << u"%1: %2 bytes, checksum %3\n"_s.arg(prefix).arg(image.bytes.size()).arg(image.nChecksum, 0, 16) << Qt::flush;
        int lastShown = -1;
        const UpgradeObserver observer{
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
        const QString failure = SendImage(link, image, observer);
        if (!failure.isEmpty()) {
            io.err << u"orvane-cli: %1: %2"_s.arg(prefix, failure) << Qt::endl;
            return ExitCode::CameraOrPort;
        }
    }
    link.Close();
    io.out << u"upgrade finished: %1 image(s) sent\n"_s.arg(images.size()) << Qt::flush;
    return ExitCode::Success;
}
