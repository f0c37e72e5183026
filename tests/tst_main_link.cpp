#include "core/config/program_dir.h"
#include "core/protocol/link_protocol.h"
#include "core/protocol/register_map.h"
#include "gui/main_window/main_dialog.h"
#include "core/protocol/upgrade_protocol.h"
#include "tests/support/dialog_bench.h"
#include "serial/serial_port.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

constexpr std::int64_t kMs = 1'000'000;

// The registers of a read cycle, in the order the camera must see them.
const int kCycleOrder[] = {0x1F, 0x00, 0x01, 0x02, 0x08, 0x09, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x12,
                           0x13, 0x14, 0x15, 0x16, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0xF9};

} // namespace

// The main dialog's link to the camera: read cycle, writes, restarts, the
// upgrade request, and a device that goes away.
// What a failed read's box says to do next.
const QString kNextSearch =
    u"下一步：请检查接线和串口，用“查找相机”找出它的波特率；固件无法启动的相机可用恢复升级。"_s;

class TestMainLink : public QObject {
    Q_OBJECT

private slots:
    void openReadsEveryRegisterInOrderAndParses()
    {
        DialogBench bench;
        for (int i = 0; i < 23; ++i)
            bench.camera.Camera().SetRegister(kCycleOrder[i], static_cast<std::uint8_t>(0x40 + i));
        QVERIFY(bench.OpenAndRead());
        CMyCorvixDlg& dialog = *bench.dialog;
        const RegisterImage& image = dialog.Host().Registers();
        QCOMPARE(Text(dialog, 1033), u"COM1,打开,115200,N,8,1"_s);
        QCOMPARE(Text(dialog, 1016), u"关闭串口"_s);
        QVERIFY(dialog.Host().PortOpen());
        QVERIFY(dialog.Host().ConfigRead());
        for (int i = 0; i < 22; ++i)
            QCOMPARE(image[i], 0x40 + i);
        for (int i = 22; i < 28; ++i)
            QCOMPARE(image[i], 0);
        QCOMPARE(image[28], 0x40 + 22);
        QVERIFY(dialog.Timers().IsActive(CMyCorvixDlg::kTimerClearLabel));
        QCOMPARE(dialog.Timers().Interval(CMyCorvixDlg::kTimerClearLabel), 5000);
        QCOMPARE(dialog.Timers().Interval(CMyCorvixDlg::kTimerNoReply), 2000);
        // A completed cycle ends the no-reply check: left running, it used to
        // report a failed read when it expired just after a save's new cycle began.
        QVERIFY(!dialog.Timers().IsActive(CMyCorvixDlg::kTimerNoReply));
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
        DialogBench bench(pathInfo);
        QVERIFY(bench.OpenAndRead(write.constData()));
    }

    // One lost character, one lost answer or one garbled answer used to stall
    // the cycle for good or count as a read; now the cycle is tried again
    // from its start and the technician sees nothing of it.
    void aLostOrGarbledAnswerIsReadAgain_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("lost LF") << int(ReplyFault::Kind::DropChar);
        QTest::newRow("lost answer") << int(ReplyFault::Kind::DropReply);
        QTest::newRow("garbled answer") << int(ReplyFault::Kind::Garble);
    }

    void aLostOrGarbledAnswerIsReadAgain()
    {
        QFETCH(int, kind);
        CameraFaults faults;
        faults.replyFaults.push_back({ReplyFault::Kind(kind), 0x10, true});
        DialogBench bench(QString(), faults);
        for (int i = 0; i < 23; ++i)
            bench.camera.Camera().SetRegister(kCycleOrder[i], static_cast<std::uint8_t>(0x40 + i));
        bench.dialog->OnOpenClosePort();
        // The first try up to register 0x10, then a whole cycle.
        const std::string firstTry = CycleRequests().substr(0, 11 * 9);
        QVERIFY(bench.camera.WaitReceived(firstTry + CycleRequests() + "w 01 00F9\r\n"));
        QVERIFY(bench.dialog->Host().ConfigRead());
        QCOMPARE(bench.dialog->Host().Registers()[10], 0x40 + 10);
        QCOMPARE(bench.dialog->Host().Registers()[28], 0x40 + 22);
        QVERIFY(bench.boxes.Boxes().isEmpty());
    }

    // A read that failed on every try used to count as read: the pages
    // showed zeros and a save wrote them over the camera's settings.
    void aReadThatFailsEveryTryIsNotARead_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("detail");
        QTest::newRow("garbled") << u"garble"_s << u"寄存器 0x10 的应答有误：2?\\x0d\\x0a（已读取 3 次）"_s;
        QTest::newRow("cut short") << u"drop"_s << u"寄存器 0x10 的应答不完整：20\\x0d（已读取 3 次）"_s;
        QTest::newRow("silent") << u"mute"_s << u"寄存器 0x1F 无应答（已读取 3 次）"_s;
    }

    void aReadThatFailsEveryTryIsNotARead()
    {
        QFETCH(QString, fault);
        QFETCH(QString, detail);
        CameraFaults faults;
        faults.bMute = fault == u"mute";
        if (!faults.bMute)
            faults.replyFaults.push_back({fault == u"garble" ? ReplyFault::Kind::Garble : ReplyFault::Kind::DropChar, 0x10});
        DialogBench bench(QString(), faults);
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 10000));
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"读取配置失败！\n"_s + detail + u'\n' + kNextSearch);
        QCOMPARE(Text(dialog, 1072), u"读取配置失败！"_s);
        QCOMPARE(dialog.GetDlgItem(1072)->toolTip(), detail);
        QVERIFY(!dialog.Timers().IsActive(CMyCorvixDlg::kTimerNoReply)); // no second box
        QVERIFY(!dialog.Host().ConfigRead());
        const std::string firstTry = CycleRequests().substr(0, (faults.bMute ? 1 : 11) * 9);
        QCOMPARE(bench.camera.Camera().Received(), firstTry + firstTry + firstTry);

        // Nothing is written for the camera, and the pages show nothing as read.
        for (const QLineEdit* edit : dialog.PagePara().findChildren<QLineEdit*>())
            QVERIFY2(edit->text().isEmpty(), qPrintable(edit->objectName() + edit->text()));
        dialog.OnSave();
        QCOMPARE(bench.boxes.Boxes().value(1).text, u"串口未打开或者读取配置未完成！\n尚未完整读取相机配置"_s);
        QVERIFY(!dialog.Host().WritesPending());
        QCOMPARE(bench.ReceivedBeforeMarker(), firstTry + firstTry + firstTry);
    }

    // A camera set to another rate used to leave the technician with twelve
    // rates to try by hand. The failed read's box offers the search: the
    // rates in turn on the open port, read commands only, and the rate that
    // answers is chosen, shown and read at once.
    void aFailedReadFindsTheCameraAtItsRate()
    {
        PtyOptions at9600;
        at9600.nOwnRate = 9600;
        DialogBench bench(QString(), {}, {}, at9600);
        CMyCorvixDlg& dialog = *bench.dialog;
        bench.boxes.SetAnswer(true); // "查找相机"
        dialog.OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return dialog.Host().ConfigRead(); }, 20000));
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"读取配置失败！\n寄存器 0x1F 无应答（已读取 3 次）\n"_s + kNextSearch);
        QCOMPARE(bench.boxes.Boxes()[0].offer, u"查找相机"_s);
        QCOMPARE(Text(dialog, 1008), u"9600"_s);
        QCOMPARE(dialog.Line().nBaud, 9600);
        QVERIFY2(Text(dialog, 1033).contains(u",9600,"_s), qPrintable(Text(dialog, 1033)));
        QCOMPARE(dialog.Host().Registers()[1], 0x12); // hardware V1.2, as read at 9600
        QCOMPARE(Text(dialog, 1072), QString()); // the search's "trying 9600" is over
        // At 115200 nothing but read commands; at 9600 the search's three, then the cycle.
        std::string at115200;
        std::string atFound;
        for (const LineByte& byte : bench.camera.Camera().ReceivedLine())
            (byte.nRate == 9600 ? atFound : at115200).push_back(static_cast<char>(byte.byte));
        // Three tries of the read, then the search's first try at the rate chosen.
        QCOMPARE(at115200, std::string("r 001F \r\n") + "r 001F \r\n" + "r 001F \r\n" + "r 001F \r\n");
        QVERIFY2(atFound.starts_with("r 001F \r\nr 0000 \r\nr 0001 \r\n" + CycleRequests()), atFound.c_str());
    }

    // Values read from one camera used to stay on the pages as if current
    // after the port closed or the next read failed: the technician took
    // them for the camera's. Now the pages and save are greyed until a read
    // comes whole, and say whose values they show and from when.
    void valuesFromAnEarlierReadAreNotShownAsCurrent()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        const auto current = [&] {
            return dialog.PagePara().isEnabled() && dialog.PageOsd().isEnabled() && dialog.GetDlgItem(1021)->isEnabled();
        };
        QVERIFY(!current()); // nothing read yet
        QCOMPARE(dialog.PagePara().toolTip(), u"串口未打开\n页面显示的不是从相机读取的数值"_s);
        QVERIFY(bench.OpenAndRead());
        QVERIFY(WaitUntil([&] { return current(); }));
        QVERIFY(dialog.PagePara().toolTip().isEmpty());

        dialog.OnOpenClosePort();
        QVERIFY(!current());
        QVERIFY2(QRegularExpression(u"^串口未打开\n页面显示的是 \\d\\d:\\d\\d:\\d\\d 从 COM1 读取的数值"_s)
                     .match(dialog.PagePara().toolTip())
                     .hasMatch(),
                 qPrintable(dialog.PagePara().toolTip()));

        bench.camera.Camera().SetMute(true); // the next camera answers nothing
        dialog.OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return bench.boxes.Boxes().size() == 1; }, 20000));
        QVERIFY(bench.boxes.Boxes()[0].text.startsWith(u"读取配置失败！"_s));
        QVERIFY(dialog.Host().PortOpen());
        QVERIFY(!current());
        QVERIFY(dialog.GetDlgItem(1021)->toolTip().startsWith(u"尚未完整读取相机配置\n页面显示的是 "_s));
    }

    // A line where no rate answers says what to check, and keeps the rate chosen.
    void aSearchWithoutAnswerSaysWhatToCheck()
    {
        CameraFaults mute;
        mute.bMute = true;
        DialogBench bench(QString(), mute);
        CMyCorvixDlg& dialog = *bench.dialog;
        bench.boxes.SetAnswer(true);
        dialog.OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return bench.boxes.Boxes().size() == 2; }, 20000));
        QVERIFY(bench.boxes.Boxes()[1].text.contains(u"A、B 线是否接反"_s));
        QCOMPARE(Text(dialog, 1008), u"115200"_s);
        QCOMPARE(dialog.Session().Rate(), 115200);
        QVERIFY(!dialog.Scan().Running());
        const std::string received = bench.ReceivedBeforeMarker();
        QVERIFY(QRegularExpression(u"^(r [0-9A-F]{4} \\r\\n)*$"_s).match(QString::fromStdString(received)).hasMatch());
        QCOMPARE(bench.camera.Camera().ReceivedLine().back().nRate, 115200); // the marker went at the rate chosen
    }

    // An adapter that returns the host's bytes used to have the host's own
    // "r 001F " taken for the answer: nothing was read and the pages showed
    // zeros. Now a read, a page save and a format change put the same bytes
    // on the line as on a clean one.
    void anEchoingLineWorksAsACleanOne()
    {
        const auto session = [](bool echo) -> std::string {
            PtyOptions line;
            line.bEcho = echo;
            DialogBench bench(QString(), {}, {}, line);
            CMyCorvixDlg& dialog = *bench.dialog;
            bench.camera.Camera().SetRegister(0x10, 0x5A);
            if (!bench.OpenAndRead() || dialog.Host().Registers()[10] != 0x5A)
                return std::string("<not read>");
            if (dialog.Port().LineEchoes() != echo || dialog.GetDlgItem(1033)->toolTip().contains(u"本地回显") != echo)
                return std::string("<echo not told>");
            dialog.PagePara().OnSave();
            if (!WaitUntil([&] {
                    return bench.camera.Camera().Received().ends_with(CycleRequests() + "w 01 00F9\r\n")
                           && bench.camera.Camera().Received().size() > 2 * CycleRequests().size();
                }))
                return std::string("<save not read back>");
            if (!WaitUntil([&] { return !dialog.Host().WritesPending(); }))
                return std::string("<save still going out>");
            dialog.PageOsd().OnVideoFormatChange(1);
            if (!WaitUntil([&] { return bench.camera.Camera().Received().ends_with("w 00 FFFF\r\nw 01 FFFF\r\n"); }, 10000))
                return std::string("<no format change>");
            return bench.camera.Camera().Received() + (bench.boxes.Boxes().isEmpty() ? "" : "<box>");
        };
        const std::string clean = session(false);
        QCOMPARE(QString::fromStdString(session(true)), QString::fromStdString(clean));
        QVERIFY2(clean.find("w 00 FFFF") != std::string::npos, clean.c_str());
    }

    void writesOnlyOnceTheConfigurationIsRead()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        dialog.Host().WriteRegister(0x1FF, 0x12);
        QVERIFY(bench.camera.WaitReceived("w FF 0012\r\n"));

        // A read that failed: the camera may no longer hold what the pages show.
        CameraFaults faults;
        faults.replyFaults = {{ReplyFault::Kind::DropReply, 0x12, false}};
        DialogBench failing(QString(), faults);
        failing.dialog->OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return !failing.boxes.Boxes().isEmpty(); }, 20000));
        QVERIFY(failing.dialog->Host().PortOpen() && !failing.dialog->Host().ConfigRead());
        failing.camera.Camera().ClearCapture();
        failing.dialog->Host().WriteRegister(0x05, 0x12);
        QCOMPARE(failing.ReceivedBeforeMarker(), std::string());
    }

    // Groups of four before any cycle used to index the register list at -1.
    void groupsBeforeAnyCycleAreDropped()
    {
        DialogBench bench;
        bench.dialog->Session().OnReceived("12\r\n34\r\n");
        QCOMPARE(bench.dialog->ReadCycleState().ReplyChars(), 0);
        QVERIFY(bench.dialog->ReadCycleState().Reply().isEmpty());
        QVERIFY(bench.dialog->Host().ReplySeen());
        QVERIFY(!bench.dialog->Host().ConfigRead());
    }

    void theFailureLabelClearsAndASilentSaveIsTold()
    {
        CameraFaults faults;
        faults.bMute = true;
        DialogBench bench(QString(), faults);
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 10000));
        QVERIFY(dialog.Timers().IsActive(CMyCorvixDlg::kTimerClearLabel));
        dialog.OnTimer(CMyCorvixDlg::kTimerClearLabel);
        QCOMPARE(Text(dialog, 1072), QString());

        // The same silence after a save.
        QVERIFY(!dialog.Host().ReplySeen());
        dialog.Timers().SetTimer(CMyCorvixDlg::kTimerSaveNoReply, 2000);
        dialog.OnTimer(CMyCorvixDlg::kTimerSaveNoReply);
        QVERIFY(!dialog.Timers().IsActive(CMyCorvixDlg::kTimerSaveNoReply));
        QCOMPARE(bench.boxes.Boxes().size(), 2);
        QCOMPARE(bench.boxes.Boxes()[1].text, u"设备没反应，可能未连接！"_s);
    }

    // A group after a finished cycle (line noise, a late "E003") used to be
    // parsed as a cycle of its own and answered with a language write.
    void groupsAfterACycleAreDroppedAndUpgradeModeBypassesThem()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        dialog.Session().OnReceived("7F\r\nE003");
        QCOMPARE(bench.ReceivedBeforeMarker(), std::string());
        QVERIFY(bench.boxes.Boxes().isEmpty());

        QVERIFY(bench.StartUpgrade());
        dialog.Session().OnReceived("S");
        QVERIFY(dialog.ReadCycleState().Reply().isEmpty());
        QCOMPARE(dialog.ReadCycleState().ReplyChars(), 0);
    }

    void restartClosesAndReopensAfterTwelveSeconds()
    {
        CameraTiming timing;
        timing.nRestartSilenceMs = 200;
        DialogBench bench(QString(), {}, timing);
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        dialog.RestartDevice(1);
        QVERIFY(bench.camera.WaitReceived("w 00 FFFF\r\nw 01 FFFF\r\n"));
        QTRY_VERIFY(!dialog.Port().IsMonitorRunning());
        QVERIFY(!dialog.Host().PortOpen());
        QVERIFY(!dialog.GetDlgItem(1016)->isEnabled());
        QCOMPARE(dialog.Timers().Interval(CMyCorvixDlg::kTimerReopen), 12000);
        // The wait counts down in the status text, and the log says what is going on.
        QCOMPARE(Text(dialog, 1033), u"相机正在重启，12 秒后重新打开串口"_s);
        QVERIFY(LogLines(dialog.PageUpdate()).contains(u"已发送重启命令，12 秒后重新打开串口并读取相机"_s));
        QVERIFY(WaitUntil([&] { return Text(dialog, 1033) == u"相机正在重启，11 秒后重新打开串口"_s; }, 3000));
        QTRY_COMPARE(bench.camera.Camera().RestartCount(), 1);
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Listening(); })); // the camera is back

        bench.camera.Camera().ClearCapture();
        dialog.OnTimer(CMyCorvixDlg::kTimerReopen);
        QVERIFY(dialog.GetDlgItem(1016)->isEnabled());
        QVERIFY(dialog.Host().PortOpen());
        QVERIFY(bench.camera.WaitReceived(CycleRequests() + "w 01 00F9\r\n"));
    }

    void restartWithThePortClosedIsRefused()
    {
        DialogBench bench;
        bench.dialog->RestartDevice(1);
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"串口未打开或者读取配置未完成！\n串口未打开"_s);
        QVERIFY(bench.camera.Camera().Received().empty());
    }

    void upgradeRequestGivesUpAfterFourTries()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        QVERIFY(bench.StartUpgrade());
        CWindowTimers& timers = dialog.Upgrade().Timers();
        QTRY_VERIFY(timers.IsActive(CUpgradeExchange::kTimerRequest)); // once the trigger is out
        QCOMPARE(timers.Interval(CUpgradeExchange::kTimerRequest), 1000);
        for (int i = 0; i <= kRequests; ++i) // the last request is given its period to be answered
            timers.Fire(CUpgradeExchange::kTimerRequest);
        QVERIFY(bench.camera.WaitReceived("w 00 FFFF\r\nw 01 FFFF\r\n********************"));
        QVERIFY(!timers.IsActive(CUpgradeExchange::kTimerRequest));
        QVERIFY(!dialog.UpgradeMode());
        QCOMPARE(dialog.Upgrade().Exchange().UpgradeTries(), 0);

        // After the image's length and checksum lines:
        QStringList lines = dialog.PageUpdate().Item<QTextEdit>(1057)->toPlainText().split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 10);
        lines = lines.mid(4);
        const QStringList texts = {u"触发升级..."_s, u"请求升级..."_s, u"请求升级..."_s, u"请求升级..."_s,
                                   u"请求升级失败！退出升级..."_s, kNextSearch};
        for (int i = 0; i < 6; ++i) {
            QVERIFY2(QRegularExpression(u"^\\d\\d:\\d\\d:\\d\\d  "_s).match(lines[i]).hasMatch(), qPrintable(lines[i]));
            QCOMPARE(lines[i].mid(10), texts[i]);
        }
        for (const int id : {1058, 1054})
            QVERIFY(dialog.PageUpdate().GetDlgItem(id)->isEnabled());
        QVERIFY(dialog.GetDlgItem(1007)->isEnabled());
    }

    // After a loss, the reply timers used to run on, timer 200 to send
    // "*****" to a closed port, and the exit code to read "stopped".
    void anUnpluggedCameraEndsEverythingOfTheOpenPort()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        dialog.PagePara().OnSave();
        QTRY_VERIFY(dialog.Timers().IsActive(CMyCorvixDlg::kTimerSaveNoReply));
        QVERIFY(bench.StartUpgrade());
        QVERIFY(!dialog.GetDlgItem(1007)->isEnabled()); // the run holds the port
        bench.camera.Camera().Vanish();
        QTRY_VERIFY(!dialog.Host().PortOpen());
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].caption, u"Application Error"_s);
        QCOMPARE(bench.boxes.Boxes()[0].text,
                 u"WARNING:  read() Failed with the following error: \nInput/output error\nPort: 1\n"
                 "下一步：请重新插好串口适配器，串口会自动重新打开。"_s);
        QCOMPARE(Text(dialog, 1016), u"打开串口"_s);
        QCOMPARE(Text(dialog, 1033), u"端口已关闭"_s);
        QTRY_VERIFY(!dialog.Port().IsMonitorRunning());
        QCOMPARE(dynamic_cast<CSerialPort&>(dialog.Port()).MonitorExitCode(), CSerialPort::kDeviceLostExitCode);

        QVERIFY(!dialog.Upgrade().Timers().IsActive(CUpgradeExchange::kTimerRequest));
        for (const int timer : {CMyCorvixDlg::kTimerNoReply, CMyCorvixDlg::kTimerSaveNoReply})
            QVERIFY(!dialog.Timers().IsActive(timer));
        QVERIFY(!dialog.UpgradeMode());
        QCOMPARE(dialog.ReadCycleState().ReadIndex(), -1);
        QVERIFY(dialog.GetDlgItem(1007)->isEnabled());
        const QString log = dialog.PageUpdate().Item<QTextEdit>(1057)->toPlainText();
        QVERIFY2(log.trimmed().endsWith(u"串口已关闭，退出升级..."_s), qPrintable(log));
    }

    // An unplugged adapter used to stay closed until the technician pressed
    // "打开串口" again. Its return under the same name (a by-id link) is now
    // opened and read; a port the technician closed, or left for another,
    // is not.
    void aReplugggedAdapterIsOpenedAndReadAgain()
    {
        QTemporaryDir dir;
        const std::string link = dir.filePath(u"by-id-camera"_s).toStdString();
        PtyOptions stableName;
        stableName.strLinkPath = link;
        DialogBench bench(QString(), {}, {}, stableName);
        QFile config(ConfigIniPath()); // COM1 names the camera by its stable name
        QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
        config.write("[Ports]\nCOM1=" + QByteArray::fromStdString(link) + "\nCOM2=/dev/orvane-no-such-device\n");
        config.close();
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        QVERIFY(bench.StartUpgrade()); // lost in the middle of an upgrade's requests
        bench.camera.Camera().Vanish();
        QTRY_VERIFY(!dialog.Host().PortOpen());
        QVERIFY(!dialog.UpgradeMode());
        QTRY_VERIFY(!QFileInfo(QString::fromStdString(link)).isSymLink()); // its name went with it
        QCOMPARE(bench.boxes.Boxes().size(), 1); // the loss, once
        QVERIFY(dialog.Timers().IsActive(CMyCorvixDlg::kTimerReplug));
        dialog.OnTimer(CMyCorvixDlg::kTimerReplug); // still gone
        QVERIFY(!dialog.Host().PortOpen());

        const auto plugIn = [&](PtyCamera& camera) {
            std::string error;
            QVERIFY2(camera.Start(&error), error.c_str());
        };
        PtyCamera second({}, {}, stableName);
        plugIn(second);
        dialog.OnTimer(CMyCorvixDlg::kTimerReplug);
        QVERIFY(dialog.Host().PortOpen());
        // Read again, and nothing of the upgrade: it is not resumed. (A whole
        // cycle under ThreadSanitizer beside another test may take over 5 s.)
        QVERIFY(WaitUntil([&] { return second.Received() == CycleRequests() + "w 01 00F9\r\n"; }, 20000));
        QVERIFY(!dialog.UpgradeMode());
        QVERIFY(dialog.PageUpdate().GetDlgItem(1058)->isEnabled());
        QCOMPARE(Text(dialog, 1033), u"COM1,打开,115200,N,8,1（设备已重新连接）"_s);
        QVERIFY(!dialog.Timers().IsActive(CMyCorvixDlg::kTimerReplug));

        // Closed by the technician first: not watched.
        dialog.OnOpenClosePort();
        second.Vanish();
        QTRY_VERIFY(!QFileInfo(QString::fromStdString(link)).isSymLink());
        PtyCamera third({}, {}, stableName);
        plugIn(third);
        QVERIFY(!dialog.Timers().IsActive(CMyCorvixDlg::kTimerReplug));
        dialog.OnTimer(CMyCorvixDlg::kTimerReplug);
        QVERIFY(!dialog.Host().PortOpen());

        // Lost, then another choice of port: not reopened either.
        dialog.OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return third.Received() == CycleRequests() + "w 01 00F9\r\n"; }));
        third.Vanish();
        QTRY_VERIFY(!dialog.Host().PortOpen());
        QTRY_VERIFY(!QFileInfo(QString::fromStdString(link)).isSymLink());
        QVERIFY(dialog.Timers().IsActive(CMyCorvixDlg::kTimerReplug));
        dialog.OnPortChange(1);
        PtyCamera fourth({}, {}, stableName);
        plugIn(fourth);
        dialog.OnTimer(CMyCorvixDlg::kTimerReplug);
        QVERIFY(!dialog.Host().PortOpen());
        QVERIFY(fourth.Received().empty());
        QCOMPARE(bench.boxes.Boxes().size(), 3); // the two losses, and COM2 that is not there
        QVERIFY(bench.boxes.Boxes()[2].text.startsWith(u"没有发现此串口或被占用"_s));
    }

    // A baud change in the middle of a cycle used to purge the reply in
    // flight and leave the cycle stuck, with m_bConfigRead 0 for good.
    void aSettingChangeDuringACycleReadsAgain()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return dialog.ReadCycleState().ReadIndex() >= 5; }));
        bench.camera.Camera().ClearCapture();
        dialog.OnSettingChange(1008, 11); // the same 115200: the camera still understands
        QTRY_VERIFY(dialog.Host().ConfigRead());
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with("w 01 00F9\r\n"); }));
        QVERIFY(bench.camera.Camera().Received().find(CycleRequests()) != std::string::npos);
        QCOMPARE(Text(dialog, 1033), u"COM1,打开,115200,N,8,1"_s);
        QVERIFY(dialog.Host().PortOpen());
    }

    // Lower bounds only, from the camera's own clock.
    void commandsKeepTheirPauses()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        // Each further request leaves at least 10 ms after the answer before
        // it: the answer is stamped when due and the request when read, so no
        // delay of the simulator's thread can shorten this gap.
        const std::vector<LineByte> in = bench.camera.Camera().ReceivedLine();
        const std::vector<LineByte> out = bench.camera.Camera().SentLine();
        QCOMPARE(out.size(), 23u * 4);
        for (std::size_t answer = 0; answer + 1 < 23; ++answer) {
            const std::int64_t answered = out[answer * 4 + 3].nAtNs;
            const std::int64_t nextRequest = in[(answer + 1) * 9].nAtNs;
            QVERIFY2(nextRequest - answered >= 10 * kMs, qPrintable(u"request %1"_s.arg(answer + 1)));
        }

        // Each write is followed by at least 20 ms before the next command.
        bench.camera.Camera().ClearCapture();
        std::string writes;
        for (int value = 1; value <= 9; ++value) {
            dialog.Host().WriteRegister(value, 0x12);
            writes += FormatWriteCommand(value, 0x12).toStdString();
        }
        QVERIFY(bench.camera.WaitReceived(writes));
        const QString spacing = CheckCommandSpacing(bench.camera.Camera().ReceivedLine(), 0, 11, 9, 20);
        QVERIFY2(spacing.isEmpty(), qPrintable(spacing));
    }
};

QTEST_MAIN(TestMainLink)
#include "tst_main_link.moc"
