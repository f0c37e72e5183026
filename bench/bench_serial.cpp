// Measures the serial transport against the simulated camera paced at
// 115200 baud 8N1 (10 bit times a byte, 11 520 bytes/s at most):
//  - the round trip of one read command (9 bytes out, 4 bytes back);
//  - the throughput of back-to-back 100-byte hand-overs, unpaced and with the
//    10 ms pause the upgrade transfer makes after each block.
#include "core/config/com_ports.h"
#include "serial/serial_port.h"
#include "tests/support/camera_fixture.h"
#include "tests/support/port_owner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

constexpr double kLineBytesPerSecond = 115200.0 / 10.0;

double LineMs(int bytes)
{
    return bytes * 1000.0 / kLineBytesPerSecond;
}

void ReadRoundTrip(CSerialPort& port, PortOwner& owner)
{
    constexpr int kRounds = 200;
    std::vector<double> ms;
    for (int i = 0; i < kRounds; ++i) {
        owner.messages.clear();
        QElapsedTimer timer;
        timer.start();
        port.QueueWrite("r 001F \r\n");
        // A plain event loop woken by the fourth byte: QTest's waits sleep in 10 ms steps.
        QEventLoop loop;
        owner.onMessage = [&](const PortOwner::Message&) {
            if (owner.ReceivedBytes().size() >= 4)
                loop.quit();
        };
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        loop.exec();
        owner.onMessage = nullptr;
        if (owner.ReceivedBytes().size() < 4) {
            std::printf("read round trip: no answer\n");
            return;
        }
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const double mean = std::accumulate(ms.begin(), ms.end(), 0.0) / static_cast<double>(ms.size());
    std::printf("read round trip   : mean %.2f ms, median %.2f ms, min %.2f ms, max %.2f ms over %d reads\n", mean,
                ms[ms.size() / 2], ms.front(), ms.back(), kRounds);
    std::printf("                    line floor %.2f ms (13 bytes at 115200 8N1)\n", LineMs(13));
}

void BlockThroughput(CSerialPort& port, CameraFixture& camera, int pauseMs)
{
    constexpr int kBlocks = 200;
    constexpr int kBlockSize = 100;
    camera.Camera().ClearCapture();
    const QByteArray block(kBlockSize, 'u');
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kBlocks; ++i) {
        port.QueueWrite(block);
        if (pauseMs > 0)
            QThread::msleep(pauseMs);
    }
    const std::size_t total = std::size_t(kBlocks) * kBlockSize;
    if (!QTest::qWaitFor([&] { return camera.Camera().Received().size() >= total; }, 30000)) {
        std::printf("block throughput: only %zu of %zu bytes arrived\n", camera.Camera().Received().size(), total);
        return;
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const double rate = total / seconds;
    std::printf("100-byte blocks%s: %.0f bytes/s (%.1f%% of the line's %.0f bytes/s), %zu bytes in %.2f s\n",
                pauseMs > 0 ? ", 10 ms pause" : " back to back", rate, 100.0 * rate / kLineBytesPerSecond,
                kLineBytesPerSecond, total, seconds);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CameraFixture camera;
    if (!camera.Started())
        return 1;
    PortOwner owner;
    CSerialPort port;
    owner.Listen(port);
    if (!port.Open({.nNumber = 1, .strDevice = ResolvePortName(1), .nBaud = 115200}) || !port.StartMonitor()) {
        std::printf("cannot open the simulated camera\n");
        return 1;
    }
    ReadRoundTrip(port, owner);
    BlockThroughput(port, camera, 0);
    BlockThroughput(port, camera, 10);
    return 0;
}
