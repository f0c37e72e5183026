// Times a full save of the image page against the simulated camera at
// 115200 baud: from "保存" until the read-back has refilled the page (the
// OSD-language write that follows the parse), beside its floor: 19 writes
// with their 20 ms pauses, the 100 ms pause, the read cycle's floor and the
// wire time of the writes. Also the longest time the window's event loop
// did not turn during a save and during a change of video format.
#include "main_window/main_dialog.h"
#include "dialog_bench.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    DialogBench bench;
    if (!bench.camera.Started() || !bench.OpenAndRead())
        return 1;

    constexpr int kRounds = 5;
    std::vector<double> ms;
    std::int64_t longestGapNs = 0;
    for (int round = 0; round < kRounds; ++round) {
        bench.camera.Camera().ClearCapture();
        const EventLoopTurns turns;
        const std::int64_t startNs = SteadyNowNs();
        QElapsedTimer timer;
        timer.start();
        bench.dialog->PagePara().OnSave();
        const std::string readBack = CycleRequests() + "w 01 00F9\r\n";
        if (!WaitUntil([&] { return bench.camera.Camera().Received().size() == 19 * 11 + readBack.size()
                                    && bench.camera.Camera().Received().ends_with(readBack); },
                       10000)) {
            std::printf("save did not complete\n");
            return 1;
        }
        ms.push_back(timer.nsecsElapsed() / 1e6);
        longestGapNs = std::max(longestGapNs, turns.LongestGapNs(startNs, SteadyNowNs()));
    }
    std::sort(ms.begin(), ms.end());
    const double readFloorMs = 22 * 10.0 + 23 * 13 * 10 * 1000.0 / 115200.0;
    const double floorMs = 19 * 20.0 + 100.0 + readFloorMs + 19 * 11 * 10 * 1000.0 / 115200.0;
    std::printf("page save (19 writes, 100 ms, read-back): median %.1f ms, min %.1f ms, max %.1f ms over %d saves\n",
                ms[ms.size() / 2], ms.front(), ms.back(), kRounds);
    std::printf("                                          floor %.1f ms, median/floor %.2f\n", floorMs,
                ms[ms.size() / 2] / floorMs);
    std::printf("  longest time the window did not answer during a save: %.1f ms\n", longestGapNs / 1e6);

    // A change of video format: six writes, 10 ms and 1 s of pauses, the restart.
    bench.camera.Camera().ClearCapture();
    const EventLoopTurns turns;
    const std::int64_t startNs = SteadyNowNs();
    auto* formats = bench.dialog->PageOsd().Item<QComboBox>(1028);
    formats->setCurrentIndex(formats->findText(QStringLiteral("720p@50")));
    bench.dialog->PageOsd().OnVideoFormatChange(formats->currentIndex());
    if (!WaitUntil([&] { return bench.camera.Camera().Received().ends_with("w 01 FFFF\r\n"); }, 10000)) {
        std::printf("format change did not complete\n");
        return 1;
    }
    std::printf("  longest time the window did not answer during a format change: %.1f ms\n",
                turns.LongestGapNs(startNs, SteadyNowNs()) / 1e6);
    for (const MessageBoxRecorder::Box& box : bench.boxes.Boxes())
        std::printf("message box: %s\n", qPrintable(box.text));
    return 0;
}
