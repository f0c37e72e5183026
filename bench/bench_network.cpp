// The same camera on a pseudo-terminal (COM1) and behind ser2net on
// 127.0.0.1 (COM2, rfc2217://), in one run: the window's full read cycle at
// 115200 baud, and the bytes per second of a 128 KiB image on the line,
// beside the pacing ceiling (100 bytes per 10 ms). Goals for the network:
// a read cycle within 1.15 x the local figure, the image at 99% of the
// pacing ceiling. ser2net holds what the camera sends for a few character
// times by default (chardelay), to send fewer packets: the cycle is also
// timed with that off, as a server's own setting.
#include "gui/dialogs/file_dialog.h"
#include "gui/main_window/main_dialog.h"
#include "tests/support/device_server.h"
#include "tests/support/dialog_bench.h"
#include "tests/support/package_writer.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures {
    double openMs = 0;     // median of the opens with the cycle that follows them
    double cycleMs = 0;    // median of the read cycles on the open line
    double imageRate = 0;  // bytes per second on the line, first image byte to last
};

void Choose(CMyCorvixDlg& dialog, int index)
{
    qobject_cast<QComboBox*>(dialog.GetDlgItem(1007))->setCurrentIndex(index);
    dialog.OnPortChange(index);
}

std::optional<Figures> Measure(int portIndex, bool charDelay = true)
{
    CameraTiming timing;
    timing.nRestartSilenceMs = 100;
    timing.nFlashMs = 50;
    DialogBench bench(QString(), {}, timing);
    DeviceServer server(bench.camera.Device(), DeviceServer::Kind::Rfc2217, 115200, 0, charDelay);
    if (!server.Started())
        return std::nullopt;
    bench.camera.WriteConfig(u"COM2=%1\n"_s.arg(server.Address()));
    CMyCorvixDlg& dialog = *bench.dialog;
    Choose(dialog, portIndex);

    Figures figures;
    std::vector<double> opens;
    for (int round = 0; round < 5; ++round) {
        bench.camera.Camera().ClearCapture();
        QElapsedTimer timer;
        timer.start();
        dialog.OnOpenClosePort();
        if (!WaitUntil([&] { return bench.camera.Camera().Received().find("00F9\r\n") != std::string::npos; }, 10000))
            return std::nullopt;
        opens.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (round < 4)
            dialog.OnOpenClosePort();
    }
    figures.openMs = Median(opens);
    // The cycle again on the open line, as after a save.
    std::vector<double> cycles;
    for (int round = 0; round < 10; ++round) {
        QElapsedTimer timer;
        timer.start();
        dialog.Host().ReadCycle(); // queued: it starts once the line is free
        if (!WaitUntil([&] { return dialog.Session().Reading(); }, 10000)
            || !WaitUntil([&] { return !dialog.Session().Reading(); }, 10000))
            return std::nullopt;
        cycles.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    figures.cycleMs = Median(cycles);

    constexpr int kImageBytes = 128 * 1024;
    QByteArray image(kImageBytes, '\0');
    for (int i = 0; i < kImageBytes; ++i)
        image[i] = char(i * 131 + i / 977); // 0xFF among them, doubled on the network
    const QByteArray name("bench_V9.9.elf.flash\n");
    image.replace(0, name.size(), name);
    QTemporaryDir dir;
    WritePackage(dir.path() + u"/bench.pkg"_s, {{"bench_V9.9.elf.flash", image}});
    bench.ChoosePackage(dir.path() + u"/bench.pkg"_s);
    bench.camera.Camera().ClearCapture();
    dialog.PageUpdate().OnUpgrade();
    if (!WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 120000))
        return std::nullopt;
    const std::vector<LineByte> line = bench.camera.Camera().ReceivedLine();
    const std::size_t first = 22 + 5 + 1 + 7; // the trigger, one request, "U" and the header
    if (line.size() < first + kImageBytes)
        return std::nullopt;
    figures.imageRate = (kImageBytes - 1) / (static_cast<double>(line[first + kImageBytes - 1].nAtNs - line[first].nAtNs) / 1e9);
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::optional<Figures> local = Measure(0);
    const std::optional<Figures> network = Measure(1);
    const std::optional<Figures> prompt = Measure(1, false);
    if (!local || !network || !prompt) {
        std::printf("a run did not complete (is ser2net installed?)\n");
        return 1;
    }
    constexpr double kPacingCeiling = 10000.0;
    std::printf("read cycle (23 registers, 115200 baud) on the open line, median of 10:\n");
    std::printf("  pseudo-terminal  %7.1f ms\n", local->cycleMs);
    std::printf("  ser2net rfc2217  %7.1f ms  (%.2f x local; goal <= 1.15)\n", network->cycleMs,
                network->cycleMs / local->cycleMs);
    std::printf("  ser2net, chardelay: false  %7.1f ms  (%.2f x local)\n", prompt->cycleMs, prompt->cycleMs / local->cycleMs);
    std::printf("open and first read, median of 5:\n");
    std::printf("  pseudo-terminal  %7.1f ms\n", local->openMs);
    std::printf("  ser2net rfc2217  %7.1f ms  (%.2f x local)\n", network->openMs, network->openMs / local->openMs);
    std::printf("  ser2net, chardelay: false  %7.1f ms  (%.2f x local)\n", prompt->openMs, prompt->openMs / local->openMs);
    std::printf("128 KiB image on the line:\n");
    std::printf("  pseudo-terminal  %7.0f B/s  (%.1f%% of the pacing ceiling of %.0f B/s)\n", local->imageRate,
                100 * local->imageRate / kPacingCeiling, kPacingCeiling);
    std::printf("  ser2net rfc2217  %7.0f B/s  (%.1f%%; goal >= 99%%)\n", network->imageRate,
                100 * network->imageRate / kPacingCeiling);
    return 0;
}
