#include "gui/main_window/main_dialog.h"
#include "gui/pages/osd/dlg_osd.h"
#include "gui/pages/para/dlg_para.h"
#include "tests/support/dialog_bench.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr std::int64_t kMs = 1'000'000;

QComboBox* Formats(CMyCorvixDlg& dialog)
{
    return dialog.PageOsd().Item<QComboBox>(1028);
}

// Chooses a format as the user does: the item's index, then the handler.
void ChooseFormat(CMyCorvixDlg& dialog, const QString& text)
{
    const int index = Formats(dialog)->findText(text);
    Formats(dialog)->setCurrentIndex(index);
    dialog.PageOsd().OnVideoFormatChange(index);
}

} // namespace

class TestOsdPage : public QObject {
    Q_OBJECT

private slots:
    void vedioTypeChoosesTheFormatsOnOffer()
    {
        DialogBench filtered(u"vedioType=10100000\n"_s);
        QCOMPARE(Formats(*filtered.dialog)->count(), 2);
        QCOMPARE(Formats(*filtered.dialog)->itemText(1), u"1080p@50"_s);
        QCOMPARE(Formats(*filtered.dialog)->currentIndex(), -1);
        DialogBench fourCharacters(u"vedioType=1010\n"_s);
        QCOMPARE(Formats(*fourCharacters.dialog)->count(), 8);
    }

    void fillSelectsTheFormatByItsText_data()
    {
        QTest::addColumn<QString>("vedioType");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0x11") << QString() << 0x11 << u"1080p@60"_s;
        QTest::newRow("0x02") << QString() << 0x02 << u"720p@60"_s;
        QTest::newRow("0x02, 720p@60 not offered") << u"11110000"_s << 0x02 << QString();
    }

    void fillSelectsTheFormatByItsText()
    {
        QFETCH(QString, vedioType);
        QFETCH(int, code);
        QFETCH(QString, shown);
        DialogBench bench(vedioType.isEmpty() ? QString() : u"vedioType="_s + vedioType + u'\n');
        bench.camera.Camera().SetRegister(0x1F, std::uint8_t(code));
        QVERIFY(bench.OpenAndRead());
        QCOMPARE(Formats(*bench.dialog)->currentText(), shown); // not offered: the selection stays as it was
        CDlgOSD& page = bench.dialog->PageOsd();
        QCOMPARE(page.Item<QLineEdit>(1047)->text(), u"0"_s);
        QCOMPARE(page.Item<QComboBox>(1027)->currentIndex(), 1); // 0xF9 read as 1
    }

    // The whole change: limits, code, commit, the camera restarts, the tool
    // reconnects, and the read that follows shows the camera's new format.
    void aFormatChangeRestartsTheCameraAndReconnects()
    {
        CameraTiming timing;
        timing.nRestartSilenceMs = 200;
        DialogBench bench(QString(), {}, timing);
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        QCOMPARE(dialog.PagePara().Exposure().nShutter, 0);
        bench.camera.Camera().ClearCapture();
        ChooseFormat(dialog, u"720p@50"_s);
        const std::string writes = "w 02 000F\r\nw EE 000E\r\nw 00 000D\r\nw 00 000C\r\nw 10 001F\r\nw 01 00EF\r\n";
        QVERIFY(bench.camera.WaitReceived(writes + "w 00 FFFF\r\nw 01 FFFF\r\n"));
        const std::vector<LineByte> line = bench.camera.Camera().ReceivedLine();
        // Each explicit pause comes on top of the 20 ms after a write, which
        // leaves room for a late stamp of the simulator's.
        QVERIFY(line[44].nAtNs - line[33].nAtNs >= 10 * kMs);   // the code after the limits
        QVERIFY(line[66].nAtNs - line[55].nAtNs >= 1000 * kMs); // the restart after the commit
        QTRY_VERIFY(!dialog.Port().IsMonitorRunning());
        QVERIFY(!dialog.Host().PortOpen());
        QVERIFY(dialog.Timers().IsActive(CMyCorvixDlg::kTimerReopen));
        QTRY_COMPARE(bench.camera.Camera().RestartCount(), 1);
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Listening(); })); // back from its restart

        bench.camera.Camera().ClearCapture();
        dialog.OnTimer(CMyCorvixDlg::kTimerReopen);
        QVERIFY(bench.camera.WaitReceived(CycleRequests() + "w 01 00F9\r\n"));
        QCOMPARE(Formats(dialog)->currentText(), u"1080p@50"_s); // table D shows 0x10 so
        QCOMPARE(dialog.PagePara().Timing().nLineCount, 750);
    }

    // The GUI thread used to sleep through a format change, over a second:
    // now it turns while the writes and the pause before the restart run.
    void theWindowAnswersWhileAFormatChangeIsPacedOut()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        const EventLoopTurns turns;
        ChooseFormat(dialog, u"720p@50"_s);
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with("w 00 FFFF\r\nw 01 FFFF\r\n"); }));
        const std::vector<LineByte> line = bench.camera.Camera().ReceivedLine();
        const std::int64_t first = line[0].nAtNs;
        const std::int64_t last = line[66].nAtNs; // the restart's first byte
        const int turnsAtLeast = int((last - first) / (50 * kMs));
        QVERIFY2(turns.Between(first, last) >= turnsAtLeast,
                 qPrintable(u"%1 turns in %2 ms"_s.arg(turns.Between(first, last)).arg((last - first) / kMs)));
        dialog.Timers().KillTimer(CMyCorvixDlg::kTimerReopen);
    }

    // Closed during the pause before the restart, the port sends no restart.
    void closingThePortDuringAFormatChangeSendsNothingMore()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        ChooseFormat(dialog, u"720p@50"_s);
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with("w 01 00EF\r\n"); }));
        dialog.OnOpenClosePort(); // closes, in the second before the restart
        QTRY_VERIFY(!dialog.Port().IsMonitorRunning());
        dialog.OnOpenClosePort(); // opened again: the new cycle proves the pause is over
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with(CycleRequests() + "w 01 00F9\r\n"); }));
        QVERIFY(bench.camera.Camera().Received().find("FFFF") == std::string::npos);
        QCOMPARE(bench.camera.Camera().RestartCount(), 0);
        QVERIFY(!dialog.Timers().IsActive(CMyCorvixDlg::kTimerReopen));
    }

    // The restart at the end of a format change would cut a save short.
    void aFormatChangeWhileASaveGoesOutIsRefused()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        dialog.PagePara().OnSave();
        ChooseFormat(dialog, u"720p@50"_s);
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"串口未打开或者读取配置未完成！\n上一次保存尚未发送完"_s);
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with(CycleRequests() + "w 01 00F9\r\n"); }));
        QVERIFY(bench.camera.Camera().Received().find("FFFF") == std::string::npos);
        QVERIFY(!dialog.Timers().IsActive(CMyCorvixDlg::kTimerReopen));
    }

    void aFormatChangeUsesTheImagePagesExposure()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        CDlgPara& para = dialog.PagePara();
        para.Item<QComboBox>(1034)->setCurrentIndex(1);
        bench.camera.Camera().ClearCapture();
        ChooseFormat(dialog, u"1080p@60"_s);
        QVERIFY(bench.camera.WaitReceived("w 02 000F\r\nw 32 000E\r\nw 02 000D\r\nw 32 000C\r\nw 03 001F\r\nw 01 00EF\r\n"
                                          "w 00 FFFF\r\nw 01 FFFF\r\n"));
        dialog.Timers().KillTimer(CMyCorvixDlg::kTimerReopen);
    }

    void aUserRangeFromTheLastImageSaveIsKept()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        CDlgPara& para = dialog.PagePara();
        para.Item<QComboBox>(1034)->setCurrentIndex(9);
        para.Item<QLineEdit>(1064)->setText(u"10"_s);
        para.Item<QLineEdit>(1065)->setText(u"20"_s);
        bench.camera.Camera().ClearCapture(); // the save's read-back is waited for below
        para.OnSave();
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with(CycleRequests() + "w 01 00F9\r\n"); }));
        bench.camera.Camera().ClearCapture();
        ChooseFormat(dialog, u"720p@60"_s); // F = 30, L = 750: 450 and 225 line periods
        QVERIFY(bench.camera.WaitReceived("w 01 000F\r\nw C2 000E\r\nw 00 000D\r\nw E1 000C\r\nw 11 001F\r\nw 01 00EF\r\n"
                                          "w 00 FFFF\r\nw 01 FFFF\r\n"));
        dialog.Timers().KillTimer(CMyCorvixDlg::kTimerReopen);
    }

    void aFormatChangeWithThePortClosedOnlyTellsSo()
    {
        DialogBench bench;
        ChooseFormat(*bench.dialog, u"720p@50"_s);
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"串口未打开或者读取配置未完成！\n串口未打开"_s);
        QCOMPARE(Formats(*bench.dialog)->currentText(), u"720p@50"_s);
        QVERIFY(!bench.dialog->Timers().IsActive(CMyCorvixDlg::kTimerReopen));
        QVERIFY(bench.camera.Camera().Received().empty());
    }

    void menuKeysSendTheirValues()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        CDlgOSD& page = dialog.PageOsd();
        bench.camera.Camera().ClearCapture();
        page.OnMenuToggle();
        QCOMPARE(page.Item<QPushButton>(1052)->text(), u"退出菜单"_s);
        page.OnKeyUp();
        page.OnKeyDown();
        page.OnKeyLeft();
        page.OnKeyRight();
        page.OnKeyOk();
        page.OnMenuToggle();
        QCOMPARE(page.Item<QPushButton>(1052)->text(), u"进入菜单"_s);
        QVERIFY(bench.camera.WaitReceived("w 02 00F1\r\nw 04 00F2\r\nw 08 00F2\r\nw 01 00F2\r\nw 02 00F2\r\n"
                                          "w 01 00F3\r\nw 01 00F1\r\n"));
        QVERIFY(page.Item<QPushButton>(1011)->toolTip().contains(u"↑"_s));

        // A read that failed: nothing goes out, but the caption still flips.
        CameraFaults faults;
        faults.replyFaults = {{ReplyFault::Kind::DropReply, 0x12, false}};
        DialogBench failing(QString(), faults);
        failing.dialog->OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return !failing.boxes.Boxes().isEmpty(); }, 20000));
        CDlgOSD& unread = failing.dialog->PageOsd();
        failing.camera.Camera().ClearCapture();
        unread.OnKeyUp();
        unread.OnMenuToggle();
        QCOMPARE(unread.Item<QPushButton>(1052)->text(), u"退出菜单"_s);
        QCOMPARE(failing.ReceivedBeforeMarker(), std::string());
    }

    void osdSaveWritesTheLanguageThenCommits()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.PageOsd().OnOsdSave();
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"串口未打开或者读取配置未完成！\n串口未打开"_s);
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        dialog.PageOsd().OnOsdSave();
        QVERIFY(bench.camera.WaitReceived("w 01 00F9\r\nw 01 00EF\r\n"));
        QVERIFY(dialog.Timers().IsActive(CMyCorvixDlg::kTimerClearLabel));

        // No selection (writes let through without a fill): the language read last, never 0xFF.
        dialog.PageOsd().Item<QComboBox>(1027)->setCurrentIndex(-1);
        bench.camera.Camera().ClearCapture();
        dialog.PageOsd().SaveToDevice();
        QVERIFY(bench.camera.WaitReceived("w 01 00F9\r\nw 01 00EF\r\n"));
    }

    // Beyond the buttons: the keyboard drives the camera's menu.
    void arrowKeysAndEnterDriveTheMenu()
    {
        SKIP_SHOWN_WINDOW_UNDER_TSAN();
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(bench.OpenAndRead());
        dialog.TabCtrl().SelectTab(1);
        CDlgOSD& page = dialog.PageOsd();
        QTRY_VERIFY(page.isVisible());
        QWidget* button = page.GetDlgItem(1052);
        button->setFocus();
        bench.camera.Camera().ClearCapture();
        for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right, Qt::Key_Return})
            QTest::keyClick(QApplication::focusWidget(), key);
        QVERIFY(bench.camera.WaitReceived("w 04 00F2\r\nw 08 00F2\r\nw 01 00F2\r\nw 02 00F2\r\nw 01 00F3\r\n"));

        // A list with the focus keeps its keys, and the format list changes only from its opened list.
        Formats(dialog)->setFocus();
        const QString format = Formats(dialog)->currentText();
        bench.camera.Camera().ClearCapture();
        for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Return})
            QTest::keyClick(Formats(dialog), key);
        QCOMPARE(Formats(dialog)->currentText(), format);
        QCOMPARE(bench.ReceivedBeforeMarker(), std::string());

        // On another page the keys are not the menu's.
        dialog.TabCtrl().SelectTab(0);
        QTRY_VERIFY(!page.isVisible());
        dialog.GetDlgItem(1016)->setFocus();
        bench.camera.Camera().ClearCapture();
        QTest::keyClick(dialog.GetDlgItem(1016), Qt::Key_Up);
        QCOMPARE(bench.ReceivedBeforeMarker(), std::string());
    }

    // The menu's buttons and keys used to write into a running upgrade; in
    // the middle of an image a write spoils it. From the trigger until the
    // camera is released nothing of the pages, the save or the line's
    // settings reaches the camera; the keys work again afterwards.
    void nothingButTheUpgradeReachesTheCameraWhileItRuns()
    {
        SKIP_SHOWN_WINDOW_UNDER_TSAN();
        CameraTiming quick;
        quick.nRestartSilenceMs = 100;
        quick.nFlashMs = 50;
        DialogBench bench(QString(), {}, quick);
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(bench.OpenAndRead());
        dialog.TabCtrl().SelectTab(1);
        CDlgOSD& page = dialog.PageOsd();
        QTRY_VERIFY(page.isVisible());
        page.GetDlgItem(1052)->setFocus();
        bench.camera.Camera().ClearCapture();
        const QByteArray image(20000, 'e'); // about 1.7 s on the line
        QVERIFY(bench.StartUpgrade(image));
        int refusedSaves = 0;
        const auto tryEverything = [&] {
            QTest::mouseClick(page.Item<QPushButton>(1020), Qt::LeftButton);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
            page.OnKeyUp();
            dialog.OnSave();
            ++refusedSaves;
            dialog.OnSettingChange(1008, 5); // 9600
        };
        tryEverything(); // while the camera is asked for the upgrade
        QVERIFY(WaitUntil([&] { return dialog.TransferRunning(); }, 10000));
        tryEverything(); // in the middle of the image
        const bool linesLocked = !dialog.GetDlgItem(1008)->isEnabled() && !dialog.GetDlgItem(1013)->isEnabled();
        QVERIFY(WaitUntil([&] { return !dialog.UpgradeMode(); }, 20000));

        const std::vector<ReceivedImage> images = bench.camera.Camera().Images();
        QCOMPARE(images.size(), std::size_t(1));
        QCOMPARE(QByteArray::fromStdString(images[0].bytes), image);
        QCOMPARE(images[0].strVerdict, std::string("D"));
        const std::string received = bench.camera.Camera().Received();
        const std::string trigger = "w 00 FFFF\r\nw 01 FFFF\r\n";
        QVERIFY(received.starts_with(trigger));
        // Nothing written between the trigger and the run's own restart, which reads the camera back.
        const std::size_t restart = received.find(trigger, trigger.size());
        QVERIFY(restart != std::string::npos);
        QCOMPARE(received.find("w ", trigger.size()), restart);
        QVERIFY(WaitUntil([&] {
            return bench.camera.Camera().Received().substr(restart) == trigger + CycleRequests() + "w 01 00F9\r\n";
        }));
        QVERIFY(linesLocked);
        QCOMPARE(bench.boxes.Boxes().size(), refusedSaves + 1);
        for (int i = 0; i < refusedSaves; ++i)
            QCOMPARE(bench.boxes.Boxes()[i].text, u"串口未打开或者读取配置未完成！\n正在升级"_s);
        QCOMPARE(bench.boxes.Boxes().last().text, u"升级成功！\n"_s);
        QCOMPARE(Text(dialog, 1008), u"115200"_s);
        QCOMPARE(dialog.Line().nBaud, 115200);

        // Released: the page and the keys are the technician's again.
        QVERIFY(page.isEnabled() && dialog.GetDlgItem(1008)->isEnabled() && dialog.GetDlgItem(1021)->isEnabled());
        page.GetDlgItem(1052)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with("w 08 00F2\r\n"); }));
    }

    void screenshotOfThePage()
    {
        SKIP_UNLESS_SCREENSHOTS("osd-page.png");
        DialogBench bench;
        QVERIFY(bench.ShowReadAndGrab(u"osd-page.png"_s, [&] { bench.dialog->TabCtrl().SelectTab(1); }));
    }
};

QTEST_MAIN(TestOsdPage)
#include "tst_osd_page.moc"
