// Provisions 1 and then 8 simulated cameras at once with orvane-cli (a
// 256 KiB image, the restart and verification, and a settings file, at
// 115200 baud) and prints the time for 8 against 8 times the time for one,
// and the program's CPU time per camera.
#include "tests/support/camera_fixture.h"
#include "tests/support/cli_run.h"
#include "tests/support/package_writer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

double ChildrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Figures {
    double seconds = 0;
    double cpuSeconds = 0;
    bool ok = false;
};

Figures Provision(int cameras, const QString& package, const QString& settings)
{
    std::vector<std::unique_ptr<CameraFixture>> fixtures;
    QStringList arguments{u"provision"_s, u"--upgrade"_s, package, u"--apply"_s, settings};
    for (int i = 0; i < cameras; ++i) {
        CameraTiming timing;
        timing.nRestartSilenceMs = 100;
        timing.nFlashMs = 50;
        fixtures.push_back(std::make_unique<CameraFixture>(CameraFaults{}, timing));
        arguments << u"--port"_s << QString::fromStdString(fixtures.back()->Camera().DevicePath());
    }
    const double cpuBefore = ChildrenCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    const Run run = RunCli(arguments, 600000);
    Figures figures{static_cast<double>(clock.nsecsElapsed()) / 1e9, ChildrenCpuSeconds() - cpuBefore, run.nExitCode == 0};
    if (!figures.ok)
        std::printf("provisioning %d camera(s) failed (%d):\n%s%s\n", cameras, run.nExitCode, qPrintable(run.strOut),
                    qPrintable(run.strErr));
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    constexpr int kImageBytes = 256 * 1024;
    QByteArray image = "bench_V9.9.elf.flash\n";
    for (qsizetype i = image.size(); i < kImageBytes; ++i)
        image.append(char(i * 131 + i / 977));
    QTemporaryDir dir;
    const QString package = dir.filePath(u"bench.pkg"_s);
    WritePackage(package, {{"bench_V9.9.elf.flash", image}});
    const QString settings = WriteFile(dir, u"site.json"_s, R"({"format": 1, "brightness": 70, "gain": 20})");

    const Figures one = Provision(1, package, settings);
    const Figures eight = Provision(8, package, settings);
    if (!one.ok || !eight.ok)
        return 1;
    std::printf("provision, 256 KiB image + restart + settings, 115200 baud:\n");
    std::printf("  1 camera:  %.1f s, CPU %.2f s\n", one.seconds, one.cpuSeconds);
    std::printf("  8 cameras: %.1f s, CPU %.2f s (%.2f s per camera)\n", eight.seconds, eight.cpuSeconds,
                eight.cpuSeconds / 8);
    std::printf("  8 cameras took %.2f x the time of one (goal at most 1.10 x; one after another: 8.00 x = %.1f s)\n",
                eight.seconds / one.seconds, 8 * one.seconds);
    return 0;
}
