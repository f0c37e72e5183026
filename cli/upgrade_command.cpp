// orvane-cli upgrade: the package's images, one by one, with progress.
#include "camera_link.h"
#include "cli_commands.h"
#include "upgrade_images.h"
#include "upgrade_run.h"

using namespace Qt::StringLiterals;


int RunUpgrade(const CliOptions& options, CliStreams& io)
{
    // Checked whole before the port is opened, so a bad package sends nothing.
    const std::optional<PackageContents> contents = CheckedPackage(options.strFile, io);
    if (!contents)
        return ExitCode::Usage;

    CCameraLink link(ErrorLines(io));
    if (!OpenAndRead(link, options, io))
        return ExitCode::CameraOrPort;
    const ImageChoice choice = ImagesToSend(*contents, link.Registers());
    for (const QString& line : choice.skipped)
        io.out << u"skipped "_s << line << u'\n';
    const std::vector<UpgradeImage>& images = choice.images;
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
