#include "gui/main_window/main_dialog.h"
#include "gui/pages/para/dlg_para.h"
#include "tests/support/dialog_bench.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr std::int64_t kMs = 1'000'000;

QString EditText(CDlgPara& page, int id)
{
    return page.Item<QLineEdit>(id)->text();
}

int Selection(CDlgPara& page, int id)
{
    return page.Item<QComboBox>(id)->currentIndex();
}

std::string Writes(std::initializer_list<const char*> commands)
{
    std::string text;
    for (const char* command : commands)
        text += std::string(command) + "\r\n";
    return text;
}

// The image page of a main dialog whose port is open and read.
struct PageBench : DialogBench {
    explicit PageBench(const QString& pathInfo = QString()) : DialogBench(pathInfo) {}
    CDlgPara& Page() { return dialog->PagePara(); }
};

} // namespace

class TestParaPage : public QObject {
    Q_OBJECT

private slots:
    void fillsFromTheCamera()
    {
        PageBench bench;
        QVERIFY(bench.OpenAndRead());
        CDlgPara& page = bench.Page();
        const QStringList values = {u"50"_s, u"50"_s, u"50"_s, u"50"_s, u"30"_s, u"32"_s};
        const int ids[] = {1002, 1003, 1004, 1005, 1006, 1036};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(EditText(page, ids[i]), values[i]);
        QCOMPARE(EditText(page, 1070), u"V1.2"_s);
        QCOMPARE(EditText(page, 1071), u"V1.3"_s);
        auto* shutter = page.Item<QComboBox>(1034);
        QCOMPARE(shutter->count(), 11);
        QCOMPARE(shutter->itemText(1), u"手动_1/50"_s);
        QCOMPARE(shutter->currentText(), u"自动"_s);
        QVERIFY(page.Item<QCheckBox>(1035)->isChecked());
        QCOMPARE(page.Item<QCheckBox>(1035)->text(), u"自动增益"_s);
        QVERIFY(!page.GetDlgItem(1036)->isEnabled());
        QVERIFY(page.GetDlgItem(1037)->isEnabled());
        QCOMPARE(Selection(page, 1037), 1);
        QVERIFY(page.Item<QCheckBox>(1014)->isChecked());
        QVERIFY(page.GetDlgItem(1003)->isEnabled());
        QCOMPARE(page.Item<QCheckBox>(1015)->checkState(), Qt::Unchecked);
        QVERIFY(!page.GetDlgItem(1006)->isEnabled());
        QCOMPARE(Selection(page, 1044), 1);
        QCOMPARE(Selection(page, 1042), 1);
        QVERIFY(!page.GetDlgItem(1043)->isEnabled());
        QCOMPARE(Selection(page, 1038), 7);
        QCOMPARE(Selection(page, 1046), 8);
        QCOMPARE(Selection(page, 1025), 0);
        for (const int id : {1066, 1064, 1067, 1065, 1068})
            QVERIFY(page.GetDlgItem(id)->isHidden());
        // Labels name their fields for assistive technology.
        QCOMPARE(page.GetDlgItem(1002)->accessibleName(), u"亮度"_s);
        QCOMPARE(page.GetDlgItem(1034)->accessibleName(), u"快门"_s);
        QCOMPARE(page.GetDlgItem(1003)->accessibleName(), u"对比度"_s);
    }

    void fillsUserDefinedExposure_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("lower");
        QTest::addColumn<QString>("upper");
        QTest::addColumn<QString>("caption");
        QTest::newRow("range at 0x11") << 0x11 << 225 << 450 << 0x01 << 9 << u"10"_s << u"20"_s << u"时间段"_s;
        QTest::newRow("value of 300 periods") << 0x00 << 300 << 300 << 0x00 << 10 << u"10"_s << u"10"_s << u"时间值"_s;
        QTest::newRow("range of 300 periods") << 0x00 << 300 << 300 << 0x01 << 9 << u"10"_s << u"10"_s << u"时间段"_s;
    }

    void fillsUserDefinedExposure()
    {
        QFETCH(int, code);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, flags);
        QFETCH(int, item);
        QFETCH(QString, lower);
        QFETCH(QString, upper);
        QFETCH(QString, caption);
        PageBench bench;
        PtyCamera& camera = bench.camera.Camera();
        camera.SetRegister(0x1F, std::uint8_t(code));
        camera.SetRegister(0x0C, std::uint8_t(min & 0xFF));
        camera.SetRegister(0x0D, std::uint8_t(min >> 8));
        camera.SetRegister(0x0E, std::uint8_t(max & 0xFF));
        camera.SetRegister(0x0F, std::uint8_t(max >> 8));
        camera.SetRegister(0x08, std::uint8_t(flags));
        QVERIFY(bench.OpenAndRead());
        CDlgPara& page = bench.Page();
        QCOMPARE(Selection(page, 1034), item);
        QCOMPARE(page.Item<QComboBox>(1034)->itemText(1), code & 1 ? u"手动_1/60"_s : u"手动_1/50"_s);
        QCOMPARE(page.Timing().nLineCount, code <= 0x0F ? 1125 : 750);
        QCOMPARE(EditText(page, 1064), lower);
        QCOMPARE(EditText(page, 1065), upper);
        QCOMPARE(page.Item<QLabel>(1066)->text(), caption);
        for (const int id : {1066, 1064, 1068})
            QVERIFY(!page.GetDlgItem(id)->isHidden());
        for (const int id : {1067, 1065})
            QCOMPARE(page.GetDlgItem(id)->isHidden(), item == 10);
    }

    void defaultThenSaveWritesEverythingThenReadsBack()
    {
        PageBench bench;
        QVERIFY(bench.OpenAndRead());
        CDlgPara& page = bench.Page();
        bench.camera.Camera().ClearCapture();
        page.OnDefault();
        page.OnSave();
        const std::string writes =
            Writes({"w 00 001D", "w 1E 0016", "w 32 0012", "w 32 0013", "w 32 0015", "w 32 0014", "w 04 000F",
                    "w 65 000E", "w 00 000D", "w 00 000C", "w 0F 0008", "w 00 0009", "w 32 0010", "w 07 0019",
                    "w 07 001A", "w 04 001B", "w 01 001C", "w 01 001E", "w 01 00EF"});
        QVERIFY(bench.camera.WaitReceived(writes + CycleRequests() + "w 01 00F9\r\n"));
        QVERIFY(bench.dialog->Timers().IsActive(CMyCorvixDlg::kTimerSaveNoReply));
        QCOMPARE(bench.dialog->Timers().Interval(CMyCorvixDlg::kTimerSaveNoReply), 2000);

        const std::vector<LineByte> line = bench.camera.Camera().ReceivedLine();
        const QString spacing = CheckCommandSpacing(line, 0, 11, 19, 20);
        QVERIFY2(spacing.isEmpty(), qPrintable(spacing));
        // The read-back starts 20 ms + 100 ms after the last write was handed
        // over: at least 100 ms, whatever the simulator's stamps.
        QVERIFY(line[19 * 11].nAtNs - line[18 * 11].nAtNs >= 100 * kMs);

        // The camera now holds the defaults, and the page shows them as read back.
        QTRY_COMPARE(Selection(page, 1025), 3);
        QCOMPARE(EditText(page, 1006), u"30"_s);
        QCOMPARE(Selection(page, 1046), 7);
        QCOMPARE(Selection(page, 1034), 0);
        QVERIFY(bench.boxes.Boxes().isEmpty());
    }

    // At 600 baud a save's writes take 3.5 s on the line, and its read-back
    // requests wait behind them. Their answers' wait used to start when they
    // were queued: two saves a few seconds apart (1.3 s at 1200 baud) showed
    // 亮度 101, 对比度 4 and versions V0.0, answers shifted by a few
    // registers, which a third save would have written. And the box saying
    // the camera did not answer came 2 s after the writes were paced out,
    // while they were still on the line.
    void savesOnASlowLineShowWhatTheCameraHolds()
    {
        PageBench bench;
        bench.dialog->OnSettingChange(1008, 1); // 600 baud
        bench.dialog->OnOpenClosePort();
        QVERIFY(bench.camera.WaitReceived(CycleRequests() + "w 01 00F9\r\n", 30000));
        CDlgPara& page = bench.Page();
        page.Item<QLineEdit>(1002)->setText(u"60"_s);
        page.OnSave();
        QTest::qWait(3000); // the first save's writes are still on the line
        page.OnSave();
        QVERIFY(WaitUntil([&] {
            return bench.camera.Camera().Register(0x12) == 60 && bench.dialog->ReadCycleState().ReadIndex() < 0
                && !bench.dialog->Host().WritesPending()
                && bench.camera.Camera().Received().ends_with(CycleRequests() + "w 01 00F9\r\n");
        }, 60000));
        QCOMPARE(EditText(page, 1002), u"60"_s);
        QCOMPARE(EditText(page, 1003), u"50"_s);
        QCOMPARE(EditText(page, 1070), u"V1.2"_s);
        QCOMPARE(EditText(page, 1071), u"V1.3"_s);
        for (const auto& box : bench.boxes.Boxes())
            QCOMPARE(box.text, u"串口未打开或者读取配置未完成！\n上一次保存尚未发送完"_s); // a second save may be refused, nothing else
    }

    // A read-back that failed every try used to leave saves accepted,
    // though the page may no longer show what the camera holds.
    void afterAFailedReadBackSavesAreRefused()
    {
        PageBench bench;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().SetFlood(true);
        bench.Page().OnSave();
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 20000));
        QVERIFY2(bench.boxes.Boxes()[0].text.startsWith(u"读取配置失败！"_s), qPrintable(bench.boxes.Boxes()[0].text));
        bench.camera.Camera().SetFlood(false);
        bench.Page().OnSave();
        QCOMPARE(bench.boxes.Boxes().size(), 2);
        QCOMPARE(bench.boxes.Boxes()[1].text, u"串口未打开或者读取配置未完成！\n尚未完整读取相机配置"_s);
    }

    // The GUI thread used to sleep through a whole save, about half a
    // second: now it turns while the writes are paced out.
    void theWindowAnswersWhileASaveIsPacedOut()
    {
        PageBench bench;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        const EventLoopTurns turns;
        bench.Page().OnSave();
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with(CycleRequests() + "w 01 00F9\r\n"); }));
        const std::vector<LineByte> line = bench.camera.Camera().ReceivedLine();
        const std::int64_t first = line[0].nAtNs;
        const std::int64_t last = line[19 * 11 - 1].nAtNs; // the end of the 19th write
        const int turnsAtLeast = int((last - first) / (50 * kMs));
        QVERIFY2(turns.Between(first, last) >= turnsAtLeast,
                 qPrintable(u"%1 turns in %2 ms"_s.arg(turns.Between(first, last)).arg((last - first) / kMs)));
    }

    // A second save while the first still goes out used to be impossible
    // (the window slept); now it is refused with the port's message and
    // sends nothing of its own.
    void aSaveWhileAnotherGoesOutIsRefused()
    {
        PageBench bench;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        bench.Page().OnSave();
        bench.dialog->OnSave(); // the main window's save, too
        bench.Page().OnSave();
        QCOMPARE(bench.boxes.Boxes().size(), 2);
        QCOMPARE(bench.boxes.Boxes()[1].text, u"串口未打开或者读取配置未完成！\n上一次保存尚未发送完"_s);
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with(CycleRequests() + "w 01 00F9\r\n"); }));
        QCOMPARE(bench.camera.Camera().Received().size(), 19 * 11 + CycleRequests().size() + 11);
        QVERIFY(bench.dialog->Host().ReadyForSettings()); // the next save may go
    }

    // A rate chosen during a slow save used to send the rest of the save,
    // and its read-back, at the new rate. The change is refused with a word
    // while the save's writes wait: all of it goes at the rate it was made for.
    void aLineSettingChangeWaitsForTheSave()
    {
        PageBench bench;
        bench.dialog->OnSettingChange(1008, 2); // 1200 baud, the port closed
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        bench.Page().OnSave();
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().size() >= 2 * 11; }));
        bench.dialog->OnSettingChange(1008, 3);  // 2400
        bench.dialog->OnSettingChange(1013, 2);  // two stop bits
        QCOMPARE(bench.boxes.Boxes().size(), 2);
        for (const auto& box : bench.boxes.Boxes())
            QCOMPARE(box.text, u"设置仍在按当前的串口设置发送，串口设置未更改。请在发送完成后再更改。"_s);
        QCOMPARE(Text(*bench.dialog, 1008), u"1200"_s);
        QCOMPARE(Text(*bench.dialog, 1013), u"1"_s);
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with(CycleRequests() + "w 01 00F9\r\n"); },
                          30000));
        QCOMPARE(bench.camera.Camera().Received().size(), 19 * 11 + CycleRequests().size() + 11);
        for (const LineByte& byte : bench.camera.Camera().ReceivedLine())
            QCOMPARE(byte.nRate, 1200);

        // Once the save is out, the rate is the technician's to change.
        bench.dialog->OnSettingChange(1008, 3);
        QCOMPARE(bench.dialog->Line().nBaud, 2400);
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().ReceivedLine().back().nRate == 2400; }, 10000));
        QCOMPARE(bench.boxes.Boxes().size(), 2);
    }

    // Nothing of a save goes out once the port was closed in its middle.
    void closingThePortDuringASaveSendsNothingMore()
    {
        PageBench bench;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        bench.Page().OnSave();
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().size() >= 3 * 11; }));
        bench.dialog->OnOpenClosePort(); // closes
        QTRY_VERIFY(!bench.dialog->Port().IsMonitorRunning());
        // Opened again, the new read cycle comes first: what the save had left is gone.
        bench.dialog->OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with(CycleRequests() + "w 01 00F9\r\n"); }));
        const std::string received = bench.camera.Camera().Received();
        const std::size_t cycle = received.find(CycleRequests());
        QVERIFY(cycle != std::string::npos);
        QCOMPARE(cycle % 11, std::size_t(0)); // whole writes only
        QVERIFY2(cycle / 11 < 19, qPrintable(QString::fromStdString(received.substr(0, cycle))));
        QVERIFY(received.substr(cycle).find("w 01 00EF") == std::string::npos);
    }

    void saveChecksStopWithTheirMessageAndFocus_data()
    {
        QTest::addColumn<int>("shutter");
        QTest::addColumn<int>("editId");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("upper");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("focusId");
        const QString notInteger = u"请键入一个整数、不支持小数"_s;
        const QString badExposure = u"曝光值设置有误"_s;
        QTest::newRow("empty brightness") << 0 << 1002 << QString() << QString() << notInteger << 1002;
        QTest::newRow("negative gain") << 0 << 1036 << u"-5"_s << QString() << notInteger << 1036;
        QTest::newRow("12.5 as the value") << 10 << 1064 << u"12.5"_s << QString() << notInteger << 1064;
        QTest::newRow("range 30 to 20") << 9 << 1064 << u"30"_s << u"20"_s << badExposure << 1065;
        QTest::newRow("41 ms") << 9 << 1064 << u"41"_s << u"40"_s << badExposure << 1064;
        QTest::newRow("empty contrast, disabled") << 0 << 1003 << QString() << QString() << notInteger << 0;
    }

    void saveChecksStopWithTheirMessageAndFocus()
    {
        QFETCH(int, shutter);
        QFETCH(int, editId);
        QFETCH(QString, text);
        QFETCH(QString, upper);
        QFETCH(QString, message);
        QFETCH(int, focusId);
        PageBench bench;
        QVERIFY(bench.OpenAndRead());
        CDlgPara& page = bench.Page();
        page.Item<QComboBox>(1034)->setCurrentIndex(shutter);
        if (editId == 1036)
            page.Item<QCheckBox>(1035)->click(); // manual gain: the edit can take the focus
        if (editId == 1003) {
            page.Item<QCheckBox>(1014)->setChecked(false);
            page.OnContrastClick();
            QVERIFY(!page.GetDlgItem(1003)->isEnabled());
        }
        page.Item<QLineEdit>(editId)->setText(text);
        page.Item<QLineEdit>(1065)->setText(upper);
        bench.camera.Camera().ClearCapture();
        page.OnSave();
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, message);
        if (focusId != 0)
            QCOMPARE(bench.dialog->focusWidget(), page.GetDlgItem(focusId));
        QCOMPARE(bench.ReceivedBeforeMarker(), std::string());
    }

    void valuesAboveAHundredAreSavedAsAHundred()
    {
        PageBench bench;
        QVERIFY(bench.OpenAndRead());
        CDlgPara& page = bench.Page();
        page.Item<QLineEdit>(1002)->setText(u"250"_s);
        page.Item<QLineEdit>(1005)->setText(u"99999999999"_s); // too long for 32 bits
        bench.camera.Camera().ClearCapture();
        page.OnSave();
        QCOMPARE(EditText(page, 1002), u"100"_s);
        QCOMPARE(EditText(page, 1005), u"100"_s);
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().find("w 01 00EF\r\n") != std::string::npos; }));
        QVERIFY(bench.camera.Camera().Received().starts_with(
            Writes({"w 00 001D", "w 1E 0016", "w 64 0012", "w 32 0013", "w 32 0015", "w 64 0014"})));
    }

    void backlightAndContrastExcludeEachOther()
    {
        PageBench bench;
        QVERIFY(bench.OpenAndRead());
        CDlgPara& page = bench.Page();
        auto* backlight = page.Item<QCheckBox>(1015);
        auto* contrast = page.Item<QCheckBox>(1014);
        QVERIFY(contrast->isChecked());
        backlight->click();
        QCOMPARE(backlight->checkState(), Qt::Checked);
        QCOMPARE(backlight->text(), u"自动背光补偿"_s);
        QVERIFY(!contrast->isChecked());
        QVERIFY(!page.GetDlgItem(1003)->isEnabled());
        QVERIFY(!page.GetDlgItem(1006)->isEnabled());
        backlight->click();
        QCOMPARE(backlight->checkState(), Qt::PartiallyChecked);
        QCOMPARE(backlight->text(), u"手动背光补偿"_s);
        QVERIFY(page.GetDlgItem(1006)->isEnabled());
        backlight->click();
        QCOMPARE(backlight->checkState(), Qt::Unchecked);
        QCOMPARE(backlight->text(), u"背光补偿"_s);
        QVERIFY(!page.GetDlgItem(1006)->isEnabled());

        backlight->click();
        backlight->click(); // manual
        contrast->click();
        QVERIFY(contrast->isChecked());
        QCOMPARE(backlight->checkState(), Qt::Unchecked);
        QCOMPARE(backlight->text(), u"背光补偿"_s);
        QVERIFY(page.GetDlgItem(1003)->isEnabled());
        QVERIFY(!page.GetDlgItem(1006)->isEnabled());

        auto* gain = page.Item<QCheckBox>(1035);
        gain->click();
        QCOMPARE(gain->text(), u"手动增益"_s);
        QVERIFY(page.GetDlgItem(1036)->isEnabled());
    }

    void aCameraReportingBothShowsBacklight()
    {
        PageBench bench;
        bench.camera.Camera().SetRegister(0x1D, 2);
        bench.camera.Camera().SetRegister(0x08, 0x0F);
        QVERIFY(bench.OpenAndRead());
        CDlgPara& page = bench.Page();
        QCOMPARE(page.Item<QCheckBox>(1015)->checkState(), Qt::Checked);
        QVERIFY(!page.Item<QCheckBox>(1014)->isChecked());
        QVERIFY(!page.GetDlgItem(1003)->isEnabled());
    }

    // A list without a selection used to send 0xFF.
    void aValueBeyondTheListIsSentBackAsRead()
    {
        PageBench bench;
        bench.camera.Camera().SetRegister(0x1C, 9);
        QVERIFY(bench.OpenAndRead());
        CDlgPara& page = bench.Page();
        QCOMPARE(Selection(page, 1042), -1);
        bench.camera.Camera().ClearCapture();
        page.OnSave();
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().find("w 01 00EF\r\n") != std::string::npos; }));
        QVERIFY(bench.camera.Camera().Received().find("w 09 001C\r\n") != std::string::npos);
        QCOMPARE(bench.camera.Camera().Register(0x1C), 9);
    }

    void triggerSendsNegativeAndMirror()
    {
        PageBench bench;
        bench.camera.Camera().SetRegister(0x1C, 7);
        QVERIFY(bench.OpenAndRead());
        CDlgPara& page = bench.Page();
        QVERIFY(page.GetDlgItem(1043)->isEnabled());
        bench.camera.Camera().ClearCapture();
        page.Item<QCheckBox>(1041)->setChecked(true);
        page.OnTrigger();
        page.Item<QCheckBox>(1039)->setChecked(true);
        page.OnTrigger();
        QVERIFY(bench.camera.WaitReceived("w 30 0009\r\nw 70 0009\r\n"));
        page.Item<QComboBox>(1042)->setCurrentIndex(1);
        QVERIFY(!page.GetDlgItem(1043)->isEnabled());
    }

    void switchTestAlternatesDayAndNight()
    {
        PageBench bench(u"showSwith=1\n"_s);
        CDlgPara& page = bench.Page();
        QVERIFY(!page.GetDlgItem(1074)->isHidden());
        page.OnSwitchTest();
        QCOMPARE(bench.boxes.Boxes().size(), 1); // port closed
        QCOMPARE(bench.boxes.Boxes()[0].text, u"串口未打开或者读取配置未完成！\n串口未打开"_s);

        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        page.OnSwitchTest();
        QVERIFY(page.Timers().IsActive(CDlgPara::kTimerSwitchTest));
        QCOMPARE(page.Timers().Interval(CDlgPara::kTimerSwitchTest), 5000);
        QVERIFY(!page.GetDlgItem(1074)->isEnabled());
        std::string expected;
        for (int tick = 0; tick <= 60; ++tick) {
            QVERIFY(page.Timers().IsActive(CDlgPara::kTimerSwitchTest));
            page.OnTimer(CDlgPara::kTimerSwitchTest);
            expected += tick % 2 ? "w 02 001E\r\n" : "w 00 001E\r\n";
        }
        QVERIFY(!page.Timers().IsActive(CDlgPara::kTimerSwitchTest));
        QVERIFY(page.GetDlgItem(1074)->isEnabled());
        QCOMPARE(page.SwitchCount(), 61);
        QVERIFY(bench.camera.WaitReceived(expected));
    }

    void choosingThePageReadsTheCamera()
    {
        SKIP_SHOWN_WINDOW_UNDER_TSAN();
        PageBench bench;
        bench.dialog->show(); // the port is closed: nothing is read
        QVERIFY(bench.OpenAndRead());
        bench.dialog->TabCtrl().SelectTab(1);
        bench.camera.Camera().ClearCapture();
        bench.dialog->TabCtrl().SelectTab(0);
        QVERIFY(bench.camera.WaitReceived(CycleRequests() + "w 01 00F9\r\n"));
        bench.dialog->OnOpenClosePort();
        bench.dialog->TabCtrl().SelectTab(1);
        bench.dialog->TabCtrl().SelectTab(0);
        QTRY_VERIFY(bench.Page().isVisible());
        QCOMPARE(bench.dialog->ReadCycleState().ReadIndex(), -1); // closed: no cycle started
    }

    void screenshotOfTheFilledPage()
    {
        SKIP_UNLESS_SCREENSHOTS("image-page.png");
        PageBench bench;
        // A user-defined exposure of 10 to 20 ms, manual gain and backlight
        // compensation, custom white balance: every rule of the page at work.
        const std::pair<int, int> registers[] = {{0x0C, 0x19}, {0x0D, 0x01}, {0x0E, 0x32}, {0x0F, 0x02},
                                                 {0x08, 0x05}, {0x1D, 0x01}, {0x1C, 0x07}};
        for (const auto& [reg, value] : registers)
            bench.camera.Camera().SetRegister(reg, std::uint8_t(value));
        QVERIFY(bench.ShowReadAndGrab(u"image-page.png"_s));
    }
};

QTEST_MAIN(TestParaPage)
#include "tst_para_page.moc"
