// Times a full read cycle of the main dialog against the simulated camera at
// 115200 baud: from "打开串口" until the OSD-language write that follows the
// parse, beside its floor of 22 pauses of 10 ms plus the wire time of the
// 23 requests and answers (13 bytes each, 10 bit times a byte); on a clean
// line and on one that echoes every request back (its echo travels while the
// request does, so the floor is the same).
#include "gui/main_window/main_dialog.h"
#include "gui/resources/resource_module.h"
#include "tests/support/camera_fixture.h"
#include "tests/support/message_box_recorder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Median, minimum and maximum of a few cycles, in milliseconds; empty when a
// cycle did not complete.
std::vector<double> TimeCycles(bool echo)
{
    PtyOptions line;
    line.bEcho = echo;
    CameraFixture camera({}, {}, line);
    if (!camera.Started())
        return {};
    CMyCorvixDlg dialog;
    constexpr int kRounds = 10;
    std::vector<double> ms;
    for (int round = 0; round < kRounds; ++round) {
        camera.Camera().ClearCapture();
        QElapsedTimer timer;
        timer.start();
        dialog.OnOpenClosePort();
        if (!WaitUntil([&] { return camera.Camera().Received().find("00F9\r\n") != std::string::npos; }, 10000))
            return {};
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        dialog.OnOpenClosePort();
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBoxRecorder boxes;
    ResourceModule::UseBuiltIn();
    const double floorMs = 22 * 10.0 + 23 * 13 * 10 * 1000.0 / 115200.0;
    for (const bool echo : {false, true}) {
        const std::vector<double> ms = TimeCycles(echo);
        if (ms.empty()) {
            std::printf("read cycle did not complete%s\n", echo ? " on the echoing line" : "");
            return 1;
        }
        std::printf("read cycle (23 registers)%s: median %.1f ms (%.2f x floor), min %.1f ms, max %.1f ms over %zu cycles\n",
                    echo ? ", echoing line" : ", clean line", ms[ms.size() / 2], ms[ms.size() / 2] / floorMs, ms.front(),
                    ms.back(), ms.size());
    }
    std::printf("floor %.1f ms (22 x 10 ms pauses + 299 bytes at 115200 8N1)\n", floorMs);
    for (const MessageBoxRecorder::Box& box : boxes.Boxes())
        std::printf("message box: %s\n", qPrintable(box.text));
    return 0;
}
