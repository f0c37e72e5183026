// The search for a camera at an unknown rate: eight simulated ports at
// once, one camera at 2400 baud and seven lines where nothing answers, the
// rates tried from 115200 as the list's default; the time until the camera
// is found and until every port is done, against the goal of 5 s and the
// sum of the twelve answer waits. Then a port where something else speaks,
// and the window's own search after a failed read: the longest time its
// event loop did not turn.
#include "core/protocol/line_rates.h"
#include "core/protocol/link_protocol.h"
#include "session/ports_scan.h"
#include "tests/support/dialog_bench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kPorts = 8;
constexpr int kCameraRate = 2400;

void ScanEightPorts()
{
    std::vector<std::unique_ptr<PtyCamera>> cameras;
    std::vector<PortToScan> ports;
    for (int n = 0; n < kPorts; ++n) {
        CameraFaults faults;
        faults.bMute = n != kPorts / 2;
        PtyOptions line;
        line.nOwnRate = n == kPorts / 2 ? kCameraRate : 0;
        cameras.push_back(std::make_unique<PtyCamera>(faults, CameraTiming{}, line));
        if (!cameras.back()->Start(nullptr)) {
            std::printf("  could not start the simulated cameras\n");
            return;
        }
        ports.push_back({QString::fromStdString(cameras.back()->DevicePath()),
                         QString::fromStdString(cameras.back()->DevicePath()), 0});
    }
    int waitsMs = 0;
    for (const int rate : kLineRates)
        waitsMs += AnswerWaitMs(rate);
    for (int round = 0; round < 3; ++round) {
        CPortsScan scan;
        QElapsedTimer clock;
        qint64 foundMs = -1;
        bool over = false;
        clock.start();
        scan.Start(ports, 115200, {[&](const PortScanResult& result) {
                                       if (result.finding && result.finding->nBaud == kCameraRate)
                                           foundMs = clock.elapsed();
                                   },
                                   {},
                                   [&] { over = true; }});
        if (!WaitUntil([&] { return over; }, 30000)) {
            std::printf("  round %d: did not complete\n", round + 1);
            continue;
        }
        std::printf("  round %d: camera at %d baud found after %lld ms; all %d ports done after %lld ms "
                    "(goal 5000 ms; the twelve answer waits %d ms)\n",
                    round + 1, kCameraRate, static_cast<long long>(foundMs), kPorts,
                    static_cast<long long>(clock.elapsed()), waitsMs);
    }
}

// A port where another device speaks on its own ("00" every 20 ms) or
// noise floods the line: searched in about the twelve waits, as a silent one.
void ChatteringPorts()
{
    int waitsMs = 0;
    for (const int rate : kLineRates)
        waitsMs += AnswerWaitMs(rate);
    for (const bool flood : {false, true}) {
        CameraFaults mute;
        mute.bMute = true;
        PtyCamera line(mute);
        if (!line.Start(nullptr)) {
            std::printf("  could not start the simulated line\n");
            return;
        }
        if (flood)
            line.SetFlood(true);
        else
            line.SetChatter("00\r\n", 20);
        const QString device = QString::fromStdString(line.DevicePath());
        CPortsScan scan;
        bool over = false;
        QElapsedTimer clock;
        clock.start();
        scan.Start({{device, device, 0}}, 115200, {{}, {}, [&] { over = true; }});
        if (!WaitUntil([&] { return over; }, 120000)) {
            std::printf("  %s: did not complete\n", flood ? "flood" : "chatter");
            continue;
        }
        std::printf("  %s: searched in %lld ms (a silent port: the twelve answer waits, %d ms)\n",
                    flood ? "a line flooded with noise" : "a device saying \"00\" every 20 ms",
                    static_cast<long long>(clock.elapsed()), waitsMs);
    }
}

void WindowDuringASearch()
{
    for (int round = 0; round < 3; ++round) {
        PtyOptions line;
        line.nOwnRate = kCameraRate;
        DialogBench bench(QString(), {}, {}, line);
        bench.boxes.SetAnswer(true); // the failed read's "查找相机"
        const EventLoopTurns turns;
        const std::int64_t startNs = SteadyNowNs();
        bench.dialog->OnOpenClosePort();
        if (!WaitUntil([&] { return bench.dialog->Host().ConfigRead(); }, 30000)) {
            std::printf("  round %d: did not complete\n", round + 1);
            continue;
        }
        const std::int64_t endNs = SteadyNowNs();
        bench.boxes.Boxes();
        std::printf("  round %d: failed read, search and read at %d baud in %.0f ms; longest time the window did "
                    "not answer %.1f ms\n",
                    round + 1, kCameraRate, static_cast<double>(endNs - startNs) / 1e6,
                    static_cast<double>(turns.LongestGapNs(startNs, endNs)) / 1e6);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::printf("search of %d ports at once, one camera at %d baud:\n", kPorts, kCameraRate);
    ScanEightPorts();
    std::printf("one port where something else speaks:\n");
    ChatteringPorts();
    std::printf("the window's search after a failed read:\n");
    WindowDuringASearch();
    return 0;
}
