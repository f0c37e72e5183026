// Times a full save of the image page against the simulated camera at
// 115200 baud: from "保存" until the read-back has refilled the page (the
// OSD-language write that follows the parse), beside its floor: 19 writes
// with their 20 ms pauses, the 100 ms pause, the read cycle's floor and the
// wire time of the writes. Also the longest time the window's event loop
// did not turn during a save, during a change of video format, and during a
// close, a reopen, a port change and a rate change made while a request is
// still on a 300-baud line. The saves keep their records of the camera's
// settings (with 200 already kept), beside the same saves keeping none.
#include "core/settings/settings_backups.h"
#include "gui/main_window/main_dialog.h"
#include "tests/support/dialog_bench.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The port's own actions on a slow line: the port is opened at 300 baud, so
// the read cycle's first request ("r 001F \r\n", 300 ms on the line) goes
// out; once its first byte has reached the camera, the action runs, and the
// window's event loop is watched until `done` holds. Longest gaps of a few
// rounds, in ms; empty when a round did not complete.
std::vector<double> GapsOnASlowLine(DialogBench& bench, const std::function<void()>& action,
                                    const std::function<bool(const std::string&)>& done,
                                    const std::function<void()>& after = {})
{
    CMyCorvixDlg& dialog = *bench.dialog;
    std::vector<double> gaps;
    for (int round = 0; round < 3; ++round) {
        dialog.Port().CloseAndWait(); // the last round's bytes are all out
        bench.camera.Camera().ClearCapture();
        dialog.OnOpenClosePort(); // opened: the cycle's first request goes out
        if (!WaitUntil([&] { return !bench.camera.Camera().Received().empty(); }, 5000))
            return {};
        const EventLoopTurns turns;
        const std::int64_t startNs = SteadyNowNs();
        action();
        if (!WaitUntil([&] { return done(bench.camera.Camera().Received()); }, 5000))
            return {};
        gaps.push_back(static_cast<double>(turns.LongestGapNs(startNs, SteadyNowNs())) / 1e6);
        if (after)
            after();
        if (dialog.Host().PortOpen())
            dialog.OnOpenClosePort();
    }
    return gaps;
}

void PrintGaps(const char* what, const std::vector<double>& gaps)
{
    if (gaps.empty()) {
        std::printf("  %s: did not complete\n", what);
        return;
    }
    std::printf("  longest time the window did not answer during %s: %.1f ms (max of %zu)\n", what,
                *std::max_element(gaps.begin(), gaps.end()), gaps.size());
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    DialogBench bench;
    if (!bench.camera.Started() || !bench.OpenAndRead())
        return 1;

    // With records kept (a full folder, so each save also prunes), then
    // with none (a folder that cannot be made: one warning, read below).
    QTemporaryDir records;
    qputenv("ORVANE_BACKUPS", records.path().toLocal8Bit());
    CameraSettings kept;
    for (int i = 0; i < kBackupsKeptPerPort; ++i) {
        QString error;
        WriteBackup(records.path(), kept, {u"COM1"_s, u"save"_s, i % 2 == 1, QDateTime::currentDateTime().addSecs(-i)},
                    &error);
    }
    constexpr int kRounds = 5;
    std::vector<double> ms;
    std::vector<double> withoutRecords;
    std::int64_t longestGapNs = 0;
    for (int round = 0; round < 2 * kRounds; ++round) {
        if (round == kRounds)
            qputenv("ORVANE_BACKUPS", "/dev/null/records");
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
        (round < kRounds ? ms : withoutRecords).push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (round < kRounds)
            longestGapNs = std::max(longestGapNs, turns.LongestGapNs(startNs, SteadyNowNs()));
    }
    bench.boxes.Boxes(); // the one warning of the saves without records
    qputenv("ORVANE_BACKUPS", records.path().toLocal8Bit());
    std::sort(withoutRecords.begin(), withoutRecords.end());
    std::sort(ms.begin(), ms.end());
    const double readFloorMs = 22 * 10.0 + 23 * 13 * 10 * 1000.0 / 115200.0;
    const double floorMs = 19 * 20.0 + 100.0 + readFloorMs + 19 * 11 * 10 * 1000.0 / 115200.0;
    std::printf("page save (19 writes, 100 ms, read-back): median %.1f ms, min %.1f ms, max %.1f ms over %d saves\n",
                ms[ms.size() / 2], ms.front(), ms.back(), kRounds);
    std::printf("                                          floor %.1f ms, median/floor %.2f\n", floorMs,
                ms[ms.size() / 2] / floorMs);
    std::printf("  the same saves keeping no record: median %.1f ms (records cost %.1f ms a save, 200 kept)\n",
                withoutRecords[withoutRecords.size() / 2], ms[ms.size() / 2] - withoutRecords[withoutRecords.size() / 2]);
    std::printf("  longest time the window did not answer during a save: %.1f ms\n", static_cast<double>(longestGapNs) / 1e6);

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
                static_cast<double>(turns.LongestGapNs(startNs, SteadyNowNs())) / 1e6);

    // The format change ends with the port closed for the camera's restart.
    CMyCorvixDlg& dialog = *bench.dialog;
    dialog.Timers().KillTimer(CMyCorvixDlg::kTimerReopen);
    if (!WaitUntil([&] { return !dialog.Host().PortOpen(); }, 10000)) {
        std::printf("the port stayed open after the format change\n");
        return 1;
    }
    // COM2 is a second camera, for the port change.
    QTemporaryDir names;
    PtyOptions secondLine;
    secondLine.strLinkPath = names.filePath(u"second"_s).toStdString();
    PtyCamera second({}, {}, secondLine);
    std::string error;
    if (!second.Start(&error)) {
        std::printf("the second camera did not start: %s\n", error.c_str());
        return 1;
    }
    bench.camera.WriteConfig(u"COM2=%1\n"_s.arg(QString::fromStdString(second.LinkPath())));
    dialog.OnSettingChange(1008, 0); // 300 baud, the port closed
    const std::string request = "r 001F \r\n";
    std::printf("with a request still on a 300-baud line:\n");
    PrintGaps("a close", GapsOnASlowLine(bench, [&] { dialog.OnOpenClosePort(); },
                                         [&](const std::string& in) { return in == request; }));
    PrintGaps("a close and a reopen",
              GapsOnASlowLine(bench, [&] { dialog.OnOpenClosePort(); dialog.OnOpenClosePort(); },
                              [&](const std::string& in) { return in.size() > request.size(); }));
    PrintGaps("a port change", GapsOnASlowLine(bench, [&] { dialog.OnPortChange(1); },
                                               [&](const std::string& in) { return in == request; },
                                               [&] { dialog.OnPortChange(0); }));
    PrintGaps("a rate change (300 to 600 baud)",
              GapsOnASlowLine(bench, [&] { dialog.OnSettingChange(1008, 1); },
                              [&](const std::string& in) { return in.size() > request.size(); },
                              [&] { dialog.OnSettingChange(1008, 0); }));
    for (const MessageBoxRecorder::Box& box : bench.boxes.Boxes())
        std::printf("message box: %s\n", qPrintable(box.text));
    return 0;
}
