// Times the upgrade of one 256 KiB image through the window against the
// simulated camera, which reads at the line rate of 115200 baud: the rate the
// log reports, and the rate on the line from the first image byte to the
// last, beside the ceiling of the pacing (100 bytes per 10 ms) and of the
// line (11 520 bytes per second). Once without and once with the window
// tracing the line to a file: the trace must not slow the line.
#include "gui/dialogs/file_dialog.h"
#include "gui/main_window/main_dialog.h"
#include "tests/support/dialog_bench.h"
#include "tests/support/package_writer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// One upgrade; false when it did not run through.
bool MeasureUpgrade(bool traced)
{
    CameraTiming timing;
    timing.nRestartSilenceMs = 100; // the first request is answered
    timing.nFlashMs = 50;
    DialogBench bench(QString(), {}, timing);
    QTemporaryDir traceDir;
    const QString tracePath = traceDir.filePath(u"line.log"_s);
    if (traced) {
        const OpenFileHandler previous = SetAppendFileHandler([&](const QString&, const QString&) { return tracePath; });
        bench.dialog->OnTraceLine();
        SetAppendFileHandler(previous);
        if (!bench.dialog->Tracing())
            return false;
    }
    if (!bench.camera.Started() || !bench.OpenAndRead())
        return false;

    constexpr int kImageBytes = 256 * 1024;
    QByteArray image(kImageBytes, '\0');
    for (int i = 0; i < kImageBytes; ++i)
        image[i] = char(i * 131 + i / 977);
    // The image names its version, as a camera's do: the run's check after the restart finds it.
    const QByteArray name("bench_V9.9.elf.flash\n");
    image.replace(0, name.size(), name);
    QTemporaryDir dir;
    CDlgUpdate& page = bench.dialog->PageUpdate();
    WritePackage(dir.path() + u"/bench.pkg"_s, {{"bench_V9.9.elf.flash", image}});
    bench.ChoosePackage(dir.path() + u"/bench.pkg"_s);
    bench.camera.Camera().ClearCapture();

    const EventLoopTurns turns;
    const std::int64_t startNs = SteadyNowNs();
    QElapsedTimer run;
    run.start();
    page.OnUpgrade();
    if (!WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 120000)) {
        std::printf("the upgrade did not finish\n");
        return false;
    }
    const double runSeconds = static_cast<double>(run.nsecsElapsed()) / 1e9;
    const double longestGapMs = static_cast<double>(turns.LongestGapNs(startNs, SteadyNowNs())) / 1e6;

    // The image follows the trigger, one request, "U" and the 7-byte header.
    const std::vector<LineByte> line = bench.camera.Camera().ReceivedLine();
    const std::size_t first = 22 + 5 + 1 + 7;
    if (line.size() < first + kImageBytes) {
        std::printf("the camera received %zu bytes only\n", line.size());
        return false;
    }
    const double wireSeconds = static_cast<double>(line[first + kImageBytes - 1].nAtNs - line[first].nAtNs) / 1e9;
    const double wireRate = (kImageBytes - 1) / wireSeconds;

    double loggedRate = 0;
    static const QRegularExpression rateLine(u"速率 (\\d+) 字节/秒"_s);
    for (const QString& logLine : LogLines(page)) {
        const QRegularExpressionMatch match = rateLine.match(logLine);
        if (match.hasMatch())
            loggedRate = match.captured(1).toDouble();
    }

    constexpr double kPacingCeiling = 10000.0;
    constexpr double kLineCeiling = 115200.0 / 10.0;
    std::printf("upgrade of a 256 KiB image at 115200 baud, %s\n", traced ? "the line traced to a file" : "no trace");
    std::printf("  on the line:   %7.0f B/s (%.1f%% of the pacing ceiling of %.0f B/s, %.1f%% of the line's %.0f B/s)\n",
                wireRate, 100 * wireRate / kPacingCeiling, kPacingCeiling, 100 * wireRate / kLineCeiling, kLineCeiling);
    std::printf("  in the log:    %7.0f B/s (header to last piece)\n", loggedRate);
    std::printf("  whole run:     %7.2f s (trigger, request, transfer, flash, release, restart, read back)\n", runSeconds);
    std::printf("  longest time the window did not answer: %.1f ms\n", longestGapMs);
    for (const MessageBoxRecorder::Box& box : bench.boxes.Boxes())
        std::printf("message box: %s", qPrintable(box.text));
    if (traced) {
        bench.dialog->OnTraceLine(); // stopped: everything is written
        QFile trace(tracePath);
        std::printf("  trace: %lld bytes\n", static_cast<long long>(trace.size()));
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return MeasureUpgrade(false) && MeasureUpgrade(true) ? 0 : 1;
}
