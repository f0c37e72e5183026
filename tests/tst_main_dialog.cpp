#include "link/link_protocol.h"
#include "link/main_dialog.h"
#include "link/register_map.h"
#include "res/resource_module.h"
#include "tests/support/camera_fixture.h"
#include "tests/support/message_box_recorder.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTest>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// The registers of a read cycle, in the order the camera must see them.
const int kCycleOrder[] = {0x1F, 0x00, 0x01, 0x02, 0x08, 0x09, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x12,
                           0x13, 0x14, 0x15, 0x16, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0xF9};

std::string CycleRequests()
{
    std::string text;
    char command[16];
    for (const int reg : kCycleOrder) {
        std::snprintf(command, sizeof command, "r %04X \r\n", reg);
        text += command;
    }
    return text;
}

QString Text(CMyCorvixDlg& dialog, int id)
{
    QWidget* widget = dialog.GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<QPushButton*>(widget))
        return button->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentText();
    return QString();
}

// A camera on COM1, a box recorder and the main dialog, with config.ini
// holding the given [PathInfo] lines.
struct Bench {
    CameraFixture camera;
    MessageBoxRecorder boxes;
    std::unique_ptr<CMyCorvixDlg> dialog;

    explicit Bench(const QString& pathInfo = QString(), CameraFaults faults = {}, CameraTiming timing = {})
        : camera(std::move(faults), timing)
    {
        if (!pathInfo.isNull())
            camera.WriteConfig(u"[PathInfo]\n"_s + pathInfo);
        ResourceModule::UseBuiltIn();
        dialog = std::make_unique<CMyCorvixDlg>();
    }

    // Opens COM1 with the button and waits for the whole cycle and its language write.
    bool OpenAndRead(const char* languageWrite = "w 01 00F9\r\n")
    {
        dialog->OnOpenClosePort();
        return camera.WaitReceived(CycleRequests() + languageWrite);
    }
};

} // namespace

class TestMainDialog : public QObject {
    Q_OBJECT

private slots:
    void startsClosedWithDefaults()
    {
        Bench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QCOMPARE(Text(dialog, 1007), u"COM1"_s);
        QCOMPARE(Text(dialog, 1008), u"115200"_s);
        QCOMPARE(Text(dialog, 1009), u"NONE"_s);
        QCOMPARE(Text(dialog, 1010), u"8"_s);
        QCOMPARE(Text(dialog, 1013), u"1"_s);
        QCOMPARE(Text(dialog, 1033), QString());
        QCOMPARE(Text(dialog, 1016), u"打开串口"_s);
        QCOMPARE(dialog.windowTitle(), u"Orvane配置工具 V1.0"_s);
        QVERIFY(!dialog.m_bPortOpen);
        QVERIFY(!dialog.Port().IsOpen());
        QCOMPARE(dialog.TabCtrl().TabCount(), 3);
        QCOMPARE(dialog.TabCtrl().Item(1).strCaption, u" OSD "_s);
        QCOMPARE(dialog.TabCtrl().Style(), 0x09u);
        QCOMPARE(dialog.TabCtrl().CurSel(), 0);
        QCOMPARE(dialog.PageOsd().Item<QComboBox>(1028)->count(), 8);
        QVERIFY(dialog.PagePara().GetDlgItem(1074)->isHidden()); // no showSwith
        QVERIFY(bench.camera.Camera().Received().empty());
    }

    void openReadsEveryRegisterInOrderAndParses()
    {
        Bench bench;
        for (int i = 0; i < 23; ++i)
            bench.camera.Camera().SetRegister(kCycleOrder[i], static_cast<std::uint8_t>(0x40 + i));
        std::memset(RegisterImage, 0, sizeof RegisterImage);
        QVERIFY(bench.OpenAndRead());
        CMyCorvixDlg& dialog = *bench.dialog;
        QCOMPARE(Text(dialog, 1033), u"COM1,打开,115200,N,8,1"_s);
        QCOMPARE(Text(dialog, 1016), u"关闭串口"_s);
        QVERIFY(dialog.m_bPortOpen);
        QVERIFY(dialog.m_bConfigRead);
        for (int i = 0; i < 22; ++i)
            QCOMPARE(RegisterImage[i], 0x40 + i);
        for (int i = 22; i < 28; ++i)
            QCOMPARE(RegisterImage[i], 0);
        QCOMPARE(RegisterImage[28], 0x40 + 22);
        QVERIFY(dialog.Timers().IsActive(CMyCorvixDlg::kTimerClearLabel));
        QCOMPARE(dialog.Timers().Interval(CMyCorvixDlg::kTimerClearLabel), 5000);
        QCOMPARE(dialog.Timers().Interval(CMyCorvixDlg::kTimerNoReply), 2000);
        QVERIFY(bench.boxes.Boxes().isEmpty());
    }

    void languageDecidesTheOsdLanguageWrite_data()
    {
        QTest::addColumn<QString>("pathInfo");
        QTest::addColumn<QByteArray>("write");
        QTest::newRow("Language 1") << u"Language=1\n"_s << QByteArray("w 00 00F9\r\n");
        QTest::newRow("Language 0") << u"Language=0\n"_s << QByteArray("w 01 00F9\r\n");
        QTest::newRow("Language 2") << u"Language=2\n"_s << QByteArray("w 00 00F9\r\n");
        QTest::newRow("no key") << QString() << QByteArray("w 01 00F9\r\n");
    }

    void languageDecidesTheOsdLanguageWrite()
    {
        QFETCH(QString, pathInfo);
        QFETCH(QByteArray, write);
        Bench bench(pathInfo);
        QVERIFY(bench.OpenAndRead(write.constData()));
    }

    void malformedAnswerKeepsTheImageButCountsAsRead()
    {
        CameraFaults faults;
        faults.nGarbleEvery = 37; // one character of the 92 becomes '?'
        Bench bench(QString(), faults);
        std::memset(RegisterImage, 0xA5, sizeof RegisterImage);
        QVERIFY(bench.OpenAndRead());
        QVERIFY(bench.dialog->m_bConfigRead);
        for (const unsigned char byte : RegisterImage)
            QCOMPARE(byte, 0xA5);
    }

    void aShortAnswerStallsTheCycle()
    {
        CameraFaults faults;
        faults.nDropEvery = 4; // "00\r" only
        Bench bench(QString(), faults);
        bench.dialog->OnOpenClosePort();
        QVERIFY(bench.camera.WaitReceived("r 001F \r\n"));
        QTest::qWait(300);
        QCOMPARE(bench.camera.Camera().Received(), std::string("r 001F \r\n"));
        QCOMPARE(g_nReplyChars, 3);
        QVERIFY(!bench.dialog->m_bConfigRead);
    }

    void writesOnlyOnceTheConfigurationIsRead()
    {
        Bench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        QCOMPARE(dialog.WriteRegister(0x1FF, 0x12), 0);
        QVERIFY(bench.camera.WaitReceived("w FF 0012\r\n"));
        dialog.m_bConfigRead = 0;
        QCOMPARE(dialog.WriteRegister(0x05, 0x12), 0);
        QTest::qWait(100);
        QCOMPARE(bench.camera.Camera().Received(), std::string("w FF 0012\r\n"));
    }

    // Groups of four before any cycle used to index the register list at -1.
    void groupsBeforeAnyCycleAreDropped()
    {
        Bench bench;
        g_nReadIndex = -1;
        g_strReply.clear();
        g_nReplyChars = 0;
        for (const char ch : QByteArray("12\r\n34\r\n"))
            bench.dialog->OnReceiveChar(static_cast<unsigned char>(ch), 1);
        QCOMPARE(g_nReplyChars, 0);
        QVERIFY(g_strReply.isEmpty());
        QVERIFY(bench.dialog->m_bReplySeen);
        QVERIFY(!bench.dialog->m_bConfigRead);
    }

    void missingPortIsReported()
    {
        Bench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.OnPortChange(2); // COM3 maps to a device that does not exist
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"没有发现此串口或被占用"_s);
        QCOMPARE(bench.boxes.Boxes()[0].caption, u"消息"_s);
        dialog.OnOpenClosePort();
        QCOMPARE(bench.boxes.Boxes().size(), 2);
        QCOMPARE(bench.boxes.Boxes()[1].text, u"没有发现此串口或被占用"_s);
        QVERIFY(!dialog.m_bPortOpen);
        QCOMPARE(Text(dialog, 1016), u"打开串口"_s);
        QVERIFY(!dialog.Timers().IsActive(CMyCorvixDlg::kTimerNoReply));

        dialog.OnSettingChange(1008, 5); // re-initialising a missing port
        QCOMPARE(bench.boxes.Boxes().size(), 3);
        QCOMPARE(bench.boxes.Boxes()[2].text, u"没有成功，请重试"_s);
    }

    void choosingAnotherPortStopsMonitoring()
    {
        Bench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        dialog.OnPortChange(2);
        QCOMPARE(Text(dialog, 1033), u"COM3 关闭,115200,N,8,1"_s);
        QCOMPARE(Text(dialog, 1016), u"打开串口"_s);
        QVERIFY(!dialog.m_bPortOpen);
        QVERIFY(!dialog.Port().IsMonitorRunning());
    }

    void settingChangesReopenTheLine()
    {
        Bench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        dialog.OnSettingChange(1008, 5);
        QTRY_COMPARE(bench.camera.Camera().LineRate(), 9600);
        QCOMPARE(Text(dialog, 1033), u"COM1,打开,9600,N,8,1"_s);
        QVERIFY(dialog.Port().IsMonitorRunning()); // still open as the user left it

        dialog.OnSettingChange(1013, 1);
        QCOMPARE(dialog.Line().nStopBits, 2);
        QVERIFY(Text(dialog, 1033).endsWith(u",2"_s));
        QVERIFY(bench.boxes.Boxes().isEmpty());
    }

    void silentCameraFailsTheReadAfterTwoSeconds()
    {
        CameraFaults faults;
        faults.bMute = true;
        Bench bench(QString(), faults);
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.OnOpenClosePort();
        QVERIFY(bench.camera.WaitReceived("r 001F \r\n"));
        QVERIFY(dialog.Timers().IsActive(CMyCorvixDlg::kTimerNoReply));
        dialog.OnTimer(CMyCorvixDlg::kTimerNoReply);
        QVERIFY(!dialog.Timers().IsActive(CMyCorvixDlg::kTimerNoReply));
        QCOMPARE(Text(dialog, 1072), u"读取配置失败！"_s);
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"读取配置失败！"_s);
        QVERIFY(dialog.m_bConfigRead);
        bench.camera.Camera().ClearCapture();
        dialog.WriteRegister(1, 0x12); // writes are allowed now
        QVERIFY(bench.camera.WaitReceived("w 01 0012\r\n"));
        dialog.OnTimer(CMyCorvixDlg::kTimerClearLabel);
        QCOMPARE(Text(dialog, 1072), QString());

        // The same silence after a save.
        dialog.m_bReplySeen = 0;
        dialog.Timers().SetTimer(CMyCorvixDlg::kTimerSaveNoReply, 2000);
        dialog.OnTimer(CMyCorvixDlg::kTimerSaveNoReply);
        QVERIFY(!dialog.Timers().IsActive(CMyCorvixDlg::kTimerSaveNoReply));
        QCOMPARE(bench.boxes.Boxes().size(), 2);
        QCOMPARE(bench.boxes.Boxes()[1].text, u"设备没反应，可能未连接！"_s);
    }

    void groupsAfterACycleParseAgainAndUpgradeModeBypassesThem()
    {
        Bench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        for (const char ch : QByteArray("7F\r\n"))
            dialog.OnReceiveChar(static_cast<unsigned char>(ch), 1);
        QVERIFY(bench.camera.WaitReceived("w 01 00F9\r\n")); // parsed again, language written again

        dialog.m_bUpgradeMode = 1;
        dialog.m_bReplySeen = 0;
        dialog.OnReceiveChar('A', 1);
        QVERIFY(dialog.m_bReplySeen);
        QVERIFY(g_strReply.isEmpty());
        QCOMPARE(g_nReplyChars, 0);
    }

    void restartClosesAndReopensAfterTwelveSeconds()
    {
        CameraTiming timing;
        timing.nRestartSilenceMs = 200;
        Bench bench(QString(), {}, timing);
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        QCOMPARE(dialog.RestartDevice(1), 0);
        QVERIFY(bench.camera.WaitReceived("w 00 FFFF\r\nw 01 FFFF\r\n"));
        QTRY_VERIFY(!dialog.Port().IsMonitorRunning());
        QVERIFY(!dialog.m_bPortOpen);
        QVERIFY(!dialog.GetDlgItem(1016)->isEnabled());
        QCOMPARE(dialog.Timers().Interval(CMyCorvixDlg::kTimerReopen), 12000);
        QTRY_COMPARE(bench.camera.Camera().RestartCount(), 1);
        QTest::qWait(300); // the camera is back

        bench.camera.Camera().ClearCapture();
        dialog.OnTimer(CMyCorvixDlg::kTimerReopen);
        QVERIFY(dialog.GetDlgItem(1016)->isEnabled());
        QVERIFY(dialog.m_bPortOpen);
        QVERIFY(bench.camera.WaitReceived(CycleRequests() + "w 01 00F9\r\n"));
    }

    void restartWithThePortClosedIsRefused()
    {
        Bench bench;
        QCOMPARE(bench.dialog->RestartDevice(1), -1);
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"串口未打开或者读取配置未完成！"_s);
        QVERIFY(bench.camera.Camera().Received().empty());
    }

    void upgradeRequestGivesUpAfterFourTries()
    {
        Bench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        QCOMPARE(dialog.RestartDevice(0), 0);
        QVERIFY(dialog.m_bUpgradeMode);
        QCOMPARE(dialog.Timers().Interval(CMyCorvixDlg::kTimerUpgradeRequest), 1000);
        for (int i = 0; i < 4; ++i)
            dialog.OnTimer(CMyCorvixDlg::kTimerUpgradeRequest);
        QVERIFY(bench.camera.WaitReceived("w 00 FFFF\r\nw 01 FFFF\r\n********************"));
        QVERIFY(!dialog.Timers().IsActive(CMyCorvixDlg::kTimerUpgradeRequest));
        QVERIFY(!dialog.m_bUpgradeMode);
        QCOMPARE(dialog.m_nUpgradeTries, 0);

        QStringList lines = dialog.PageUpdate().Item<QTextEdit>(1057)->toPlainText().split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        const QStringList texts = {u"触发升级..."_s, u"请求升级..."_s, u"请求升级..."_s, u"请求升级..."_s,
                                   u"请求升级失败！退出升级..."_s};
        for (int i = 0; i < 5; ++i) {
            QVERIFY2(QRegularExpression(u"^\\d\\d:\\d\\d:\\d\\d  "_s).match(lines[i]).hasMatch(), qPrintable(lines[i]));
            QCOMPARE(lines[i].mid(10), texts[i]);
        }
        for (const int id : {1058, 1054})
            QVERIFY(dialog.PageUpdate().GetDlgItem(id)->isEnabled());
        QVERIFY(dialog.GetDlgItem(1007)->isEnabled());
    }

    void saveNeedsAnOpenAndReadPort()
    {
        Bench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.OnSave();
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"串口未打开或者读取配置未完成！"_s);
        QVERIFY(bench.OpenAndRead());
        dialog.OnSave();
        QCOMPARE(Text(dialog, 1072), u"保存配置成功！"_s);
        QCOMPARE(dialog.Timers().Interval(CMyCorvixDlg::kTimerClearLabel), 5000);
        QCOMPARE(bench.boxes.Boxes().size(), 1);
    }

    void closingTheWindowStopsThePort()
    {
        Bench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        dialog.close();
        QTRY_VERIFY(!dialog.Port().IsMonitorRunning());
        QCOMPARE(dialog.Port().MonitorExitCode(), CSerialPort::kStopExitCode);
    }

    void anUnpluggedCameraLeavesThePortClosed()
    {
        Bench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().Vanish();
        QTRY_VERIFY(!dialog.m_bPortOpen);
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].caption, u"Application Error"_s);
        QCOMPARE(Text(dialog, 1016), u"打开串口"_s);
        QCOMPARE(Text(dialog, 1033), u"端口已关闭"_s);
        QTRY_VERIFY(!dialog.Port().IsMonitorRunning());
    }

    void commandSixteenOpensTheAboutBox()
    {
        Bench bench;
        QString title;
        QTimer::singleShot(0, this, [&title] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                title = box->windowTitle();
                box->close();
            }
        });
        bench.dialog->OnSysCommand(CMyCorvixDlg::kCommandAbout + 3); // the low four bits do not count
        QCOMPARE(title, u"关于 Corvix"_s);
    }

    void screenshotAfterARead()
    {
        const QByteArray dir = qgetenv("ORVANE_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("set ORVANE_SCREENSHOT_DIR to write docs/main-window.png");
        Bench bench;
        bench.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(bench.dialog.get()));
        QVERIFY(bench.OpenAndRead());
        QTest::qWait(400);
        QVERIFY(bench.dialog->grab().save(QString::fromLocal8Bit(dir) + u"/main-window.png"_s));
    }
};

QTEST_MAIN(TestMainDialog)
#include "tst_main_dialog.moc"
