// Times a full save of the image page against the simulated camera at
// 115200 baud: from "保存" until the read-back has refilled the page (the
// OSD-language write that follows the parse), beside its floor: 19 writes
// with their 20 ms pauses, the 100 ms pause, the read cycle's floor and the
// wire time of the writes.
#include "main_window/main_dialog.h"
#include "dialog_bench.h"

#include <QApplication>
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
    for (int round = 0; round < kRounds; ++round) {
        bench.camera.Camera().ClearCapture();
        QElapsedTimer timer;
        timer.start();
        bench.dialog->PagePara().OnSave();
        if (!bench.camera.WaitReceived(bench.camera.Camera().Received().substr(0, 19 * 11) + CycleRequests()
                                           + "w 01 00F9\r\n",
                                       10000)) {
            std::printf("save did not complete\n");
            return 1;
        }
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const double readFloorMs = 22 * 10.0 + 23 * 13 * 10 * 1000.0 / 115200.0;
    const double floorMs = 19 * 20.0 + 100.0 + readFloorMs + 19 * 11 * 10 * 1000.0 / 115200.0;
    std::printf("page save (19 writes, 100 ms, read-back): median %.1f ms, min %.1f ms, max %.1f ms over %d saves\n",
                ms[ms.size() / 2], ms.front(), ms.back(), kRounds);
    std::printf("                                          floor %.1f ms, median/floor %.2f\n", floorMs,
                ms[ms.size() / 2] / floorMs);
    for (const MessageBoxRecorder::Box& box : bench.boxes.Boxes())
        std::printf("message box: %s\n", qPrintable(box.text));
    return 0;
}
