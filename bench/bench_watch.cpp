// A shift on a production station: 16 simulated cameras plugged into 16
// watched ports (orvane-cli provision --watch) one after another over a
// minute, each upgraded (a 64 KiB image, the restart and verification) and
// set up. Prints the time from plug-in to its report line, against one
// camera provisioned by plain provision.
#include "tests/support/camera_fixture.h"
#include "tests/support/cli_run.h"
#include "tests/support/package_writer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int kSlots = 16;
constexpr int kPlugEveryMs = 60000 / kSlots;

std::unique_ptr<CameraFixture> QuickFixture()
{
    CameraTiming timing;
    timing.nRestartSilenceMs = 100;
    timing.nFlashMs = 50;
    return std::make_unique<CameraFixture>(CameraFaults{}, timing);
}

// The report's ports with a passed line, when each was first seen (ms on `clock`).
void NoteReported(const QString& report, const QElapsedTimer& clock, std::map<QString, qint64>* seen)
{
    QFile file(report);
    if (!file.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (object[u"result"_s].toString() == u"ok"_s)
            seen->try_emplace(object[u"port"_s].toString(), clock.elapsed());
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QByteArray image = "bench_V9.9.elf.flash\n";
    for (qsizetype i = image.size(); i < 64 * 1024; ++i)
        image.append(char(i * 131 + i / 977));
    QTemporaryDir dir;
    const QString package = dir.filePath(u"bench.pkg"_s);
    WritePackage(package, {{"bench_V9.9.elf.flash", image}});
    const QString settings = WriteFile(dir, u"site.json"_s, R"({"format": 1, "brightness": 70, "gain": 20})");

    const auto single = QuickFixture();
    QElapsedTimer oneClock;
    oneClock.start();
    const Run one = RunCli({u"provision"_s, u"--upgrade"_s, package, u"--apply"_s, settings, u"--port"_s,
                            Port(*single)}, 300000);
    const double oneSeconds = double(oneClock.elapsed()) / 1000;
    if (one.nExitCode != 0) {
        std::printf("one camera failed:\n%s%s\n", qPrintable(one.strOut), qPrintable(one.strErr));
        return 1;
    }

    std::vector<std::unique_ptr<CameraFixture>> cameras;
    QStringList arguments{u"provision"_s, u"--watch"_s, u"--upgrade"_s, package, u"--apply"_s, settings,
                          u"--report"_s, dir.filePath(u"shift.jsonl"_s)};
    for (int i = 0; i < kSlots; ++i) {
        cameras.push_back(QuickFixture());
        cameras.back()->Camera().SetMute(true); // the slot is empty
        arguments << u"--port"_s << Port(*cameras.back());
    }
    QProcess station;
    station.start(QStringLiteral(ORVANE_CLI), arguments);
    if (!station.waitForStarted())
        return 1;
    QElapsedTimer clock;
    clock.start();
    std::map<QString, qint64> plugged;
    std::map<QString, qint64> reported;
    WaitUntil([&] {
        const int due = std::min(kSlots, int(clock.elapsed() / kPlugEveryMs) + 1);
        for (int i = int(plugged.size()); i < due; ++i) {
            cameras[std::size_t(i)]->Camera().SetMute(false);
            plugged[Port(*cameras[std::size_t(i)])] = clock.elapsed();
        }
        NoteReported(dir.filePath(u"shift.jsonl"_s), clock, &reported);
        return int(reported.size()) == kSlots;
    }, 600000);
    ::kill(pid_t(station.processId()), SIGINT);
    station.waitForFinished(60000);
    if (int(reported.size()) != kSlots) {
        std::printf("only %d of %d cameras passed:\n%s\n", int(reported.size()), kSlots,
                    station.readAllStandardOutput().right(3000).constData());
        return 1;
    }
    std::vector<double> seconds;
    for (const auto& [port, at] : reported)
        seconds.push_back(double(at - plugged[port]) / 1000);
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    std::printf("provision --watch, %d slots, a camera plugged in every %.1f s (64 KiB image + restart + settings, "
                "115200 baud):\n", kSlots, kPlugEveryMs / 1000.0);
    std::printf("  plug-in to passed: fastest %.1f s, median %.1f s, slowest %.1f s\n", seconds.front(), median,
                seconds.back());
    std::printf("  one camera by provision: %.1f s; the watch adds the probes that find it (goal: median at most "
                "%.1f s, one camera + 2 s)\n", oneSeconds, oneSeconds + 2);
    return 0;
}
