#include "gui/main_window/main_dialog.h"
#include "gui/main_window/serial_settings.h"
#include "core/config/com_ports.h"
#include "serial/serial_port.h"
#include "serial/system_ports.h"
#include "gui/main_window/find_camera_dlg.h"
#include "gui/dialogs/file_dialog.h"
#include "tests/support/cli_run.h"
#include "tests/support/dialog_bench.h"

#include <QApplication>
#include <QPainter>
#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QListWidget>
#include <QProgressBar>
#include <QTest>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Stamps, on the steady clock, every socket-notifier activation delivered on
// the GUI thread while it lives: a device watched there that has gone away
// keeps its notifier firing on every turn of the event loop.
class NotifierActivations final : public QObject {
public:
    NotifierActivations() { QCoreApplication::instance()->installEventFilter(this); }
    ~NotifierActivations() override { QCoreApplication::instance()->removeEventFilter(this); }
    int Between(std::int64_t fromNs, std::int64_t toNs) const
    {
        return int(std::count_if(m_stamps.begin(), m_stamps.end(),
                                 [&](std::int64_t at) { return at >= fromNs && at <= toNs; }));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::SockAct)
            m_stamps.push_back(SteadyNowNs());
        return QObject::eventFilter(watched, event);
    }

private:
    std::vector<std::int64_t> m_stamps;
};

// Sends `count` bytes to a camera of its own at 1200 baud, past every Qt
// notifier, and returns the camera's stamps of them once all are in: a
// stretch of time the simulator's line proves, 8.3 ms a byte. Empty when
// they did not arrive.
std::vector<LineByte> WitnessLine(int count)
{
    PtyCamera witness;
    std::string error;
    if (!witness.Start(&error))
        return {};
    const int fd = ::open(witness.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {};
    termios settings {};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, B1200);
    ::tcsetattr(fd, TCSANOW, &settings);
    const std::string bytes(std::size_t(count), 'w');
    const bool written = ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    const bool arrived = written && WaitUntil([&] { return witness.Received().size() == bytes.size(); });
    ::close(fd);
    return arrived ? witness.ReceivedLine() : std::vector<LineByte>();
}

// The cycle's first request: 300 ms on a 300-baud line.
const std::string kFirstRequest = "r 001F \r\n";

// Opens COM1 at 300 baud; returns once the first byte of the cycle's first
// request has reached the camera, with the rest of it still on the line.
bool OpenWithARequestOnASlowLine(DialogBench& bench)
{
    bench.dialog->OnSettingChange(1008, 0); // 300 baud, the port closed
    bench.dialog->OnOpenClosePort();
    return WaitUntil([&] { return !bench.camera.Camera().Received().empty(); });
}

// The bytes from `from` on that reached the camera after atNs, on the camera's clock.
int StampedAfter(const std::vector<LineByte>& line, std::size_t from, std::size_t count, std::int64_t atNs)
{
    int after = 0;
    for (std::size_t at = from; at < from + count && at < line.size(); ++at)
        after += line[at].nAtNs > atNs ? 1 : 0;
    return after;
}

// Answers every file dialog of one kind with `path` while it lives.
class FileDialogAnswer {
public:
    using Setter = OpenFileHandler (*)(OpenFileHandler);
    FileDialogAnswer(Setter set, const QString& path)
        : m_set(set), m_previous(set([path](const QString&, const QString&) { return path; }))
    {
    }
    ~FileDialogAnswer() { m_set(std::move(m_previous)); }
    Q_DISABLE_COPY_MOVE(FileDialogAnswer)

private:
    Setter m_set;
    OpenFileHandler m_previous;
};

// `save` with register `reg`'s write sending `value` (a function of what it sent) instead.
std::string WithWrite(const std::string& save, int reg, const std::function<int(int)>& value)
{
    const QRegularExpression write(QString::asprintf("w ([0-9A-F]{2}) %04X\r\n", unsigned(reg)));
    QString text = QString::fromStdString(save);
    const QRegularExpressionMatch match = write.match(text);
    if (!match.hasMatch())
        return save + "<no write of that register>";
    const int sent = match.captured(1).toInt(nullptr, 16);
    text.replace(match.capturedStart(), match.capturedLength(),
                 QString::asprintf("w %02X %04X\r\n", unsigned(value(sent)), unsigned(reg)));
    return text.toStdString();
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The trace's line for the bench camera's device opened at `baud`, 8N1.
QByteArray OpenedLine(const DialogBench& bench, int baud)
{
    return bench.camera.Device().toUtf8() + " -- opened, baud=" + QByteArray::number(baud) + " parity=N data=8 stop=1\n";
}

QJsonObject JsonFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

} // namespace

// The main window: serial settings, the port state, keys, the about box.
class TestMainDialog : public QObject {
    Q_OBJECT

private slots:
    void mapsSerialSettings()
    {
        QCOMPARE(PortForIndex(2), 3);
        QCOMPARE(BaudForIndex(0), 300);
        QCOMPARE(BaudForIndex(5), 9600);
        QCOMPARE(BaudForIndex(11), 115200);
        QCOMPARE(ParityForIndex(2), 'E');
        QCOMPARE(ParityForIndex(4), 'S');
        QCOMPARE(ParityForIndex(5), '\0');
        QCOMPARE(DataBitsForIndex(2), 6);
        QCOMPARE(StopBitsForIndex(0), 1);
        QCOMPARE(StopBitsForIndex(1), 2);
        QCOMPARE(StopBitsForIndex(2), 2);
        LineState line;
        QCOMPARE(OpenStatusText(line, u"打开"_s), u"COM1,打开,115200,N,8,1"_s);
        line.nPort = 2;
        QCOMPARE(ClosedStatusText(line, u"关闭"_s), u"COM2 关闭,115200,N,8,1"_s);
    }

    void startsClosedWithDefaults()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QCOMPARE(Text(dialog, 1007), u"COM1"_s);
        QCOMPARE(Text(dialog, 1008), u"115200"_s);
        QCOMPARE(Text(dialog, 1009), u"NONE"_s);
        QCOMPARE(Text(dialog, 1010), u"8"_s);
        QCOMPARE(Text(dialog, 1013), u"1"_s);
        QCOMPARE(Text(dialog, 1033), QString());
        QCOMPARE(Text(dialog, 1016), u"打开串口"_s);
        QCOMPARE(dialog.windowTitle(), u"Orvane配置工具 V1.0"_s);
        QVERIFY(!dialog.Host().PortOpen());
        QVERIFY(!dialog.Port().IsOpen());
        QCOMPARE(dialog.TabCtrl().TabCount(), 3);
        QCOMPARE(dialog.TabCtrl().Item(1).strCaption, u" OSD "_s);
        QCOMPARE(dialog.TabCtrl().Style(), 0x09u);
        QCOMPARE(dialog.TabCtrl().CurSel(), 0);
        QCOMPARE(dialog.PageOsd().Item<QComboBox>(1028)->count(), 8);
        QVERIFY(dialog.PagePara().GetDlgItem(1074)->isHidden()); // no showSwith
        QVERIFY(bench.camera.Camera().Received().empty());
    }

    // Every failed open used to say only "not found or occupied".
    void aFailedOpenSaysWhy()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        const QString missing = u"没有发现此串口或被占用\n/dev/orvane-no-such-device: No such file or directory"_s;
        dialog.OnPortChange(2); // COM3 maps to a device that does not exist
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, missing);
        QCOMPARE(bench.boxes.Boxes()[0].caption, u"消息"_s);
        QCOMPARE(Text(dialog, 1033), u"COM3 打开失败: No such file or directory"_s);
        dialog.OnOpenClosePort();
        QCOMPARE(bench.boxes.Boxes().size(), 2);
        QCOMPARE(bench.boxes.Boxes()[1].text, missing);
        QVERIFY(!dialog.Host().PortOpen());
        QCOMPARE(Text(dialog, 1016), u"打开串口"_s);
        QVERIFY(!dialog.Timers().IsActive(CMyCorvixDlg::kTimerNoReply));

        dialog.OnSettingChange(1008, 5); // re-initialising a missing port
        QCOMPARE(bench.boxes.Boxes().size(), 3);
        QCOMPARE(bench.boxes.Boxes()[2].text,
                 u"没有成功，请重试\n/dev/orvane-no-such-device: No such file or directory"_s);

        // COM1 held by another program.
        const QString camera = bench.camera.Device();
        QSerialPort other;
        other.setPortName(QString::fromStdString(bench.camera.Camera().DevicePath()));
        QVERIFY(other.open(QIODevice::ReadWrite));
        dialog.OnPortChange(0);
        QCOMPARE(bench.boxes.Boxes().size(), 4);
        QCOMPARE(bench.boxes.Boxes()[3].text, u"没有发现此串口或被占用\n%1: Device or resource busy\n下一步：请关闭占用该串口的其他程序。"_s.arg(camera));
        QCOMPARE(Text(dialog, 1033), u"COM1 打开失败: Device or resource busy"_s);
    }

    void aDeviceThisUserMayNotUseGetsTheDialoutHint()
    {
        PortOpenError error{u"/dev/ttyUSB0"_s, u"Permission denied"_s, true};
        QCOMPARE(OpenFailureText(u"没有发现此串口或被占用"_s, error, u"HINT"_s),
                 u"没有发现此串口或被占用\n/dev/ttyUSB0: Permission denied\nHINT"_s);
        QCOMPARE(OpenFailureText(u"X"_s, error, QString()), u"X\n/dev/ttyUSB0: Permission denied"_s);
        LineState com4;
        com4.nPort = 4;
        QCOMPARE(OpenFailureStatus(com4, u"打开失败"_s, error), u"COM4 打开失败: Permission denied"_s);
    }

    void choosingAnotherPortStopsMonitoring()
    {
        DialogBench bench;
        bench.camera.WriteConfig(u"COM4=%1\n"_s.arg(bench.camera.Device()));
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        dialog.OnPortChange(3);
        QCOMPARE(Text(dialog, 1033), u"COM4 关闭,115200,N,8,1"_s);
        QCOMPARE(Text(dialog, 1016), u"打开串口"_s);
        QVERIFY(!dialog.Host().PortOpen());
        QVERIFY(!dialog.Port().IsMonitorRunning());
        // Closed means closed: the device is not held for later.
        QVERIFY(!dialog.Port().IsOpen());
        QVERIFY(!dialog.Timers().IsActive(CMyCorvixDlg::kTimerNoReply));
    }

    // A port opened by a list change used to stay open on the GUI thread,
    // unwatched: when its device vanished, the program spun a whole core.
    void aClosedPortHoldsNoDeviceThatCouldVanish()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.OnSettingChange(1008, 11); // re-initialise the closed COM1
        dialog.OnPortChange(0);           // and choose it again
        QCOMPARE(Text(dialog, 1033), u"COM1 关闭,115200,N,8,1"_s);
        QVERIFY(!dialog.Port().IsOpen());
        const NotifierActivations activations;
        bench.camera.Camera().Vanish();
        QTRY_VERIFY(bench.camera.Camera().Vanished());
        const std::int64_t vanishedNs = SteadyNowNs();
        // The event loop turns while 24 bytes cross another camera's line.
        const std::vector<LineByte> witness = WitnessLine(24);
        QVERIFY(!witness.empty());
        QVERIFY(witness.back().nAtNs - witness.front().nAtNs >= 23 * (10'000'000'000LL / 1200));
        const int fired = activations.Between(vanishedNs, witness.back().nAtNs);
        QVERIFY2(fired == 0, qPrintable(u"%1 notifier activations on the GUI thread after the device vanished"_s.arg(fired)));
        QVERIFY(!dialog.Host().PortOpen());
    }

    // The rate a camera answered at is kept with its port: a technician who
    // comes back to the port, or starts the window again, opens it there.
    void theRateACameraAnsweredAtIsKeptWithThePort()
    {
        PtyOptions at2400;
        at2400.nOwnRate = 2400;
        DialogBench bench(QString(), {}, {}, at2400);
        bench.camera.WriteConfig(u"COM4=%1\n"_s.arg(bench.camera.Device()));
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.OnSettingChange(1008, 3); // 2400
        QVERIFY(bench.OpenAndRead());
        dialog.OnPortChange(3); // COM4: no camera answered there yet, the rate stays
        QCOMPARE(Text(dialog, 1033), u"COM4 关闭,2400,N,8,1"_s);
        dialog.OnSettingChange(1008, 11);
        dialog.OnPortChange(0);
        QCOMPARE(Text(dialog, 1008), u"2400"_s);
        QCOMPARE(Text(dialog, 1033), u"COM1 关闭,2400,N,8,1"_s);
        bench.dialog = std::make_unique<CMyCorvixDlg>();
        QCOMPARE(Text(*bench.dialog, 1007), u"COM1"_s);
        QCOMPARE(Text(*bench.dialog, 1008), u"2400"_s);
        bench.dialog->OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return bench.dialog->Host().ConfigRead(); }, 20000));
    }

    // Typed text used to become a list item and a setting the line did not have.
    void typedTextNeverBecomesASetting()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        auto* bauds = dialog.GetDlgItem(1008)->findChild<QLineEdit*>();
        auto* ports = dialog.GetDlgItem(1007)->findChild<QLineEdit*>();
        QSignalSpy baudChoices(qobject_cast<QComboBox*>(dialog.GetDlgItem(1008)), &QComboBox::activated);
        QVERIFY(baudChoices.isValid());
        const auto type = [](QLineEdit* edit, const QString& text) {
            edit->selectAll();
            QTest::keyClicks(edit, text);
            QTest::keyClick(edit, Qt::Key_Return);
        };

        type(bauds, u"250000"_s);
        type(ports, u"COM9"_s);
        QCOMPARE(Text(dialog, 1008), u"115200"_s);
        QCOMPARE(Text(dialog, 1007), u"COM1"_s);
        QCOMPARE(qobject_cast<QComboBox*>(dialog.GetDlgItem(1008))->count(), 12);
        QCOMPARE(qobject_cast<QComboBox*>(dialog.GetDlgItem(1007))->count(), 5);
        QCOMPARE(dialog.Line().nBaud, 115200);
        QCOMPARE(dialog.Line().nPort, 1);
        QCOMPARE(baudChoices.count(), 0);
        QCOMPARE(Text(dialog, 1033), QString());

        // An item's own text with Enter chooses that item, once.
        type(bauds, u"9600"_s);
        QCOMPARE(baudChoices.count(), 1);
        QCOMPARE(dialog.Line().nBaud, 9600);
        QCOMPARE(Text(dialog, 1033), u"COM1 关闭,9600,N,8,1"_s);

        // Indexes outside the template's lists change nothing.
        dialog.OnSettingChange(1008, 12);
        dialog.OnPortChange(7);
        QCOMPARE(dialog.Line().nBaud, 9600);
        QCOMPARE(dialog.Line().nPort, 1);
    }

    // Enter in an edit used to press the page's first button ("触发").
    void enterPressesNoButtonAndEscapeKeepsTheWindow()
    {
        SKIP_SHOWN_WINDOW_UNDER_TSAN();
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        int clicks = 0;
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            connect(button, &QPushButton::clicked, this, [&clicks] { ++clicks; });
        dialog.PagePara().GetDlgItem(1043)->setEnabled(true); // "触发", as manual white balance leaves it
        QLineEdit* edit = dialog.PagePara().findChild<QLineEdit*>();
        QVERIFY(edit);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(&dialog, Qt::Key_Enter);
        QCOMPARE(clicks, 0);
        QTest::keyClick(edit, Qt::Key_Escape);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected)); // never ended
        QCOMPARE(clicks, 0);
    }

    void portListShowsTheDeviceBehindEachPort()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        auto* ports = qobject_cast<QComboBox*>(dialog.GetDlgItem(1007));
        const QString camera = bench.camera.Device();
        QCOMPARE(ports->itemData(0, Qt::ToolTipRole).toString(), camera);
        QCOMPARE(ports->itemData(1, Qt::ToolTipRole).toString(), u"/dev/ttyS1"_s);
        QCOMPARE(ports->itemData(2, Qt::ToolTipRole).toString(), u"/dev/orvane-no-such-device"_s);
        QCOMPARE(ports->toolTip(), camera);
        QCOMPARE(dialog.GetDlgItem(1033)->toolTip(), camera);
        dialog.OnPortChange(1);
        QCOMPARE(dialog.GetDlgItem(1033)->toolTip(), u"/dev/ttyS1"_s);
        bench.boxes.Boxes(); // /dev/ttyS1 may or may not open here
    }

    void settingChangesReopenTheLine()
    {
        DialogBench bench;
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

    void saveNeedsAnOpenAndReadPort()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.OnSave();
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"串口未打开或者读取配置未完成！\n串口未打开"_s);
        QVERIFY(bench.OpenAndRead());
        dialog.OnSave();
        QCOMPARE(Text(dialog, 1072), u"保存配置成功！"_s);
        QCOMPARE(dialog.Timers().Interval(CMyCorvixDlg::kTimerClearLabel), 5000);
        QCOMPARE(bench.boxes.Boxes().size(), 1);
    }

    void closingTheWindowStopsThePort()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        dialog.close();
        QTRY_VERIFY(!dialog.Port().IsMonitorRunning());
        QCOMPARE(dynamic_cast<CSerialPort&>(dialog.Port()).MonitorExitCode(), CSerialPort::kStopExitCode);
    }

    // Closing, reopening, choosing a port or a rate used to wait on the GUI
    // thread until what was still on the line had left it: at 300 baud a
    // request froze the window for most of 300 ms.
    void theWindowAnswersWhileTheLineDrains_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("close") << u"close"_s;
        QTest::newRow("close and reopen") << u"reopen"_s;
        QTest::newRow("another port for the same device") << u"port"_s;
        QTest::newRow("another rate") << u"rate"_s;
    }

    void theWindowAnswersWhileTheLineDrains()
    {
        QFETCH(QString, action);
        DialogBench bench;
        bench.camera.WriteConfig(u"COM4=%1\n"_s.arg(bench.camera.Device()));
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(OpenWithARequestOnASlowLine(bench));
        std::int64_t answeredNs = 0;
        QTimer::singleShot(0, this, [&answeredNs] { answeredNs = SteadyNowNs(); });
        if (action == u"close") {
            dialog.OnOpenClosePort();
        } else if (action == u"reopen") {
            dialog.OnOpenClosePort();
            dialog.OnOpenClosePort();
        } else if (action == u"port") {
            dialog.OnPortChange(3);
        } else {
            dialog.OnSettingChange(1008, 1); // 600 baud
        }
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().size() >= kFirstRequest.size(); }));
        QVERIFY(WaitUntil([&] { return answeredNs != 0; }));
        const std::vector<LineByte> line = bench.camera.Camera().ReceivedLine();
        QCOMPARE(bench.camera.Camera().Received().substr(0, kFirstRequest.size()), kFirstRequest);
        // The window turned while the request was still going out...
        const int later = StampedAfter(line, 0, kFirstRequest.size(), answeredNs);
        QVERIFY2(later >= 2, qPrintable(u"%1 of the request's bytes reached the camera after the window answered"_s.arg(later)));
        // ...and the request left whole at the rate it was sent at.
        for (std::size_t at = 0; at < kFirstRequest.size(); ++at)
            QCOMPARE(line[at].nRate, 300);
        QVERIFY(bench.boxes.Boxes().isEmpty());
    }

    // Reopened at once, the same device is opened again only once the
    // request of the closed session has left the line; the new session then
    // reads as any other.
    void aReopenAtOnceFollowsWhatWasStillOnTheLine()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(OpenWithARequestOnASlowLine(bench));
        dialog.OnOpenClosePort();
        dialog.OnOpenClosePort();
        QVERIFY(dialog.Host().PortOpen());
        QVERIFY(dialog.Port().IsOpen());
        QVERIFY(dialog.Port().IsMonitorRunning());
        QCOMPARE(Text(dialog, 1033), u"COM1,打开,300,N,8,1"_s);
        // The old request whole, then the new cycle's first request, and its
        // answer read: the second request follows.
        const std::string expected = kFirstRequest + kFirstRequest + "r 0000 \r\n";
        QVERIFY2(bench.camera.WaitReceived(expected, 10000), bench.camera.Camera().Received().c_str());
        for (const LineByte& byte : bench.camera.Camera().ReceivedLine())
            QCOMPARE(byte.nRate, 300);
        QVERIFY(dialog.Port().IsMonitorRunning());
        QVERIFY(bench.boxes.Boxes().isEmpty());
    }

    // The window may go while its port still sends what it was given and a
    // reopening waits for it: what was on the line arrives whole, and the
    // reopening never happens.
    void theWindowGoesWhileItsLineDrains_data()
    {
        QTest::addColumn<bool>("reopened");
        QTest::newRow("closed") << false;
        QTest::newRow("closed and reopened") << true;
    }

    void theWindowGoesWhileItsLineDrains()
    {
        QFETCH(bool, reopened);
        DialogBench bench;
        QVERIFY(OpenWithARequestOnASlowLine(bench));
        bench.dialog->OnOpenClosePort();
        if (reopened)
            bench.dialog->OnOpenClosePort();
        bench.dialog.reset();
        // The device was closed once the line was free of the request: the
        // camera has read all of it, though it may not have noted the last byte yet.
        WaitUntil([&] { return bench.camera.Camera().Received().size() >= kFirstRequest.size(); });
        QCOMPARE(QByteArray::fromStdString(bench.camera.Camera().Received()), QByteArray::fromStdString(kFirstRequest));
        QVERIFY(bench.boxes.Boxes().isEmpty());
    }

    // The device goes away while the closed session's request leaves the
    // line and the reopening waits for it: the reopening finds nothing, says
    // so once, and the window watches for the device as after any loss.
    void theDeviceGoesWhileAReopeningWaits()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(OpenWithARequestOnASlowLine(bench));
        // Noise behind the request keeps the old close draining for most of
        // its 1 s, so that the device is gone before it ends even on a slow
        // host (under ThreadSanitizer the 0.3 s of the request alone could pass).
        dialog.Port().QueueWrite(QByteArray(20, 'x'));
        dialog.OnOpenClosePort();
        dialog.OnOpenClosePort();
        QVERIFY(dialog.Host().PortOpen());
        bench.camera.Camera().Vanish();
        QVERIFY(WaitUntil([&] { return !dialog.Host().PortOpen(); }));
        QVERIFY(!dialog.Port().IsOpen());
        QVERIFY(!dialog.Port().IsMonitorRunning());
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].caption, u"Application Error"_s);
        QVERIFY2(bench.boxes.Boxes()[0].text.contains(u"No such file or directory"_s), qPrintable(bench.boxes.Boxes()[0].text));
        QCOMPARE(Text(dialog, 1016), u"打开串口"_s);
        QVERIFY(dialog.Timers().IsActive(CMyCorvixDlg::kTimerReplug));
    }

    // "查找相机(&F)..." searches every port the list offers, lists each as its
    // search ends, and opens the camera chosen at the rate it answered. The
    // window's trace shows the search's bytes too (it used to search untraced).
    void theSearchDialogOpensTheCameraChosenAtItsRate()
    {
        SKIP_SHOWN_WINDOW_UNDER_TSAN(); // the search dialog is shown modal
        PtyOptions at2400;
        at2400.nOwnRate = 2400;
        DialogBench bench(QString(), {}, {}, at2400);
        CMyCorvixDlg& dialog = *bench.dialog;
        QTemporaryDir dir;
        const QString tracePath = dir.filePath(u"line.log"_s);
        const FileDialogAnswer answer(SetAppendFileHandler, tracePath);
        dialog.OnTraceLine();
        QString listed;
        int progress = -1;
        QTimer::singleShot(0, &dialog, [&] {
            auto* search = dialog.findChild<CFindCameraDlg*>();
            QVERIFY(search);
            auto* list = search->findChild<QListWidget*>(u"foundPorts"_s);
            WaitUntil([&] { return list->count() > 0 && list->item(0)->data(Qt::UserRole).isValid(); }, 20000);
            listed = list->count() > 0 ? list->item(0)->text() : QString();
            progress = search->findChild<QProgressBar*>()->value();
            for (QPushButton* button : search->findChildren<QPushButton*>()) {
                if (button->text() == u"打开串口"_s)
                    button->click();
            }
            if (search->isVisible())
                search->reject(); // the camera was not offered: the checks below say why
        });
        dialog.OpenFindCameraDialog();
        QCOMPARE(listed, u"COM1：相机，波特率 2400，软件 V1.3，硬件 V1.2"_s);
        QVERIFY(progress >= 7); // the seventh rate tried answered
        QVERIFY(dialog.Host().PortOpen());
        QVERIFY(WaitUntil([&] { return dialog.Host().ConfigRead(); }, 10000));
        QCOMPARE(Text(dialog, 1007), u"COM1"_s);
        QCOMPARE(Text(dialog, 1008), u"2400"_s);
        QCOMPARE(bench.camera.Camera().ReceivedLine().back().nRate, 2400);

        dialog.OnTraceLine(); // stops: what was traced is written
        const QByteArray trace = FileBytes(tracePath);
        // The window opened its port at 2400 only; the search began at the line's rate.
        QVERIFY2(trace.contains(OpenedLine(bench, 115200)), trace.constData());
        QVERIFY(trace.contains(OpenedLine(bench, 2400)));
    }

    // A device that answers as a camera would, with answers no camera gives,
    // is listed, and said to be unusual.
    void theSearchSaysWhenAnAnswerIsUnusualForACamera()
    {
        PortScanResult result;
        result.port = {u"COM2"_s, u"/dev/ttyS1"_s, 2};
        result.finding = ScanFinding{9600, {u"V0.0"_s, u"V0.0"_s}, false, {u"hardware version V0.0"_s}};
        QCOMPARE(CFindCameraDlg::ResultText(result),
                 u"COM2：相机，波特率 9600，软件 V0.0，硬件 V0.0（版本或视频制式不像相机的，可能是其他设备）"_s);
        result.finding->unusual.clear();
        QCOMPARE(CFindCameraDlg::ResultText(result), u"COM2：相机，波特率 9600，软件 V0.0，硬件 V0.0"_s);
    }

    // The window lets go of its own port for the search; the search used to
    // open it while the window's close still ran, and listed it as busy.
    void theSearchOpensThePortTheWindowHadOpen()
    {
        SKIP_SHOWN_WINDOW_UNDER_TSAN(); // the search dialog is shown modal
        PtyOptions at2400;
        at2400.nOwnRate = 2400;
        DialogBench bench(QString(), {}, {}, at2400);
        CMyCorvixDlg& dialog = *bench.dialog;
        dialog.OnOpenClosePort(); // at 115200: the read fails, its search is not chosen
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 10000));
        QVERIFY(bench.boxes.Boxes()[0].text.startsWith(u"读取配置失败！"_s));
        QString listed;
        QTimer::singleShot(0, &dialog, [&] {
            auto* search = dialog.findChild<CFindCameraDlg*>();
            QVERIFY(search);
            auto* list = search->findChild<QListWidget*>(u"foundPorts"_s);
            const auto com1 = [&] {
                for (int row = 0; row < list->count(); ++row) {
                    if (list->item(row)->text().startsWith(u"COM1："_s))
                        return list->item(row)->text();
                }
                return QString();
            };
            WaitUntil([&] { return !com1().isEmpty(); }, 20000);
            listed = com1();
            search->reject();
        });
        dialog.OpenFindCameraDialog();
        QCOMPARE(listed, u"COM1：相机，波特率 2400，软件 V1.3，硬件 V1.2"_s);
        QVERIFY(!dialog.Host().PortOpen());
    }

    // Closed in the middle of an image, the window used to cut it short: the
    // camera took whatever followed as image data and answered nothing. The
    // rest now goes out as filler the camera refuses, the camera is released,
    // and then the window goes; the camera answers a read again.
    void closedMidImageTheWindowLeavesTheCameraAnswering()
    {
        CameraTiming quick;
        quick.nRestartSilenceMs = 100;
        DialogBench bench(QString(), {}, quick);
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        QVERIFY(bench.StartUpgrade(QByteArray(20000, 'e')));
        QVERIFY(WaitUntil([&] { return dialog.PageUpdate().Item<QProgressBar>(1056)->value() >= 10; }, 10000));
        bench.boxes.SetAnswer(true);
        QCloseEvent close;
        QApplication::sendEvent(&dialog, &close);
        QCOMPARE(bench.boxes.Boxes().size(), 1); // asked first
        QCOMPARE(bench.boxes.Boxes()[0].icon, MessageIcon::Question);
        QVERIFY(WaitUntil([&] { return !dialog.Port().IsMonitorRunning(); }, 20000));
        QVERIFY(!dialog.UpgradeMode());

        const std::vector<ReceivedImage> images = bench.camera.Camera().Images();
        QCOMPARE(images.size(), std::size_t(1));
        QCOMPARE(images[0].bytes.size(), std::size_t(images[0].nLength)); // the whole announced length
        QCOMPARE(images[0].nLength, 20000u);
        QVERIFY(images[0].strVerdict.starts_with('E')); // refused by its checksum
        // Out before the device closed; the camera may not have noted it yet.
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with("R"); }));
        QVERIFY(!close.isAccepted()); // the window went once the camera was released
        const QStringList log = LogLines(dialog.PageUpdate());
        QVERIFY2(log.contains(u"升级已中断，相机已释放，请重新升级。"_s), qPrintable(log.join(u'\n')));

        bench.boxes.SetAnswer(false);
        dialog.OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return dialog.Host().ConfigRead(); }, 10000));
        QCOMPARE(bench.boxes.Boxes().size(), 1);
    }

    void commandSixteenOpensTheAboutBox()
    {
        DialogBench bench;
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
        SKIP_UNLESS_SCREENSHOTS("main-window.png");
        DialogBench bench;
        QVERIFY(bench.ShowReadAndGrab(u"main-window.png"_s));
    }

    void screenshotOfValuesFromAnEarlierRead()
    {
        SKIP_UNLESS_SCREENSHOTS("stale-values.png");
        DialogBench bench;
        bench.camera.WriteConfig(u"COM2=%1\n"_s.arg(bench.camera.Device()));
        QVERIFY(bench.ShowReadAndGrab(u"stale-values.png"_s, [&] {
            bench.camera.Camera().SetMute(true); // the read of "another camera" fails
            qobject_cast<QComboBox*>(bench.dialog->GetDlgItem(1007))->setCurrentIndex(1); // as a choice in the list
            bench.dialog->OnPortChange(1);
            bench.dialog->OnOpenClosePort();
            QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 20000));
        }));
    }

    // The machine's ports follow COM1..COM5: an adapter plugged in later
    // shows when the list is opened, a device that a COMn opens already does
    // not, and choosing one opens it, reads the camera there and is chosen
    // again at the next start.
    void theMachinesPortsFollowTheComPorts()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        // By links that go with them: a reused terminal number is another program's camera.
        QTemporaryDir names;
        const auto named = [&](const QString& name) {
            PtyOptions options;
            options.strLinkPath = names.filePath(name).toStdString();
            return options;
        };
        PtyCamera adapter({}, {}, named(u"ttyUSB0"_s));
        std::string error;
        QVERIFY2(adapter.Start(&error), error.c_str());
        const QString adapterPath = QString::fromStdString(adapter.LinkPath());
        QList<SystemPort> machine = {{u"ttyS0"_s, ResolvePortName(1), u"COM1's own"_s, QString(), QString()}};
        const PortSource previous = SetPortSource([&] { return machine; });
        auto* ports = qobject_cast<QComboBox*>(dialog.GetDlgItem(1007));
        dialog.Ports().Refresh();
        QCOMPARE(ports->count(), 5);

        machine.append({u"ttyUSB0"_s, adapterPath, u"Simulated camera"_s, u"A1B2"_s, QString()});
        QTest::keyClick(ports, Qt::Key_F4); // opening the list looks again
        ports->hidePopup();
        QCOMPARE(ports->count(), 6);
        QCOMPARE(ports->itemText(5), u"ttyUSB0 — Simulated camera"_s);
        QCOMPARE(ports->itemData(5, Qt::ToolTipRole).toString(), adapterPath);

        ports->setCurrentIndex(5); // as the user's choice leaves it
        dialog.OnPortChange(5);
        const QString name = QFileInfo(adapterPath).fileName();
        QCOMPARE(Text(dialog, 1033), name + u" 关闭,115200,N,8,1"_s);
        QCOMPARE(dialog.GetDlgItem(1033)->toolTip(), adapterPath);
        dialog.OnOpenClosePort();
        QVERIFY2(WaitUntil([&] { return adapter.Received() == CycleRequests() + "w 01 00F9\r\n"; }), adapter.Received().c_str());
        QCOMPARE(Text(dialog, 1033), name + u",打开,115200,N,8,1"_s);
        QVERIFY(bench.camera.Camera().Received().empty());

        // Unplugged and back under another name: the same USB serial number.
        PtyCamera moved({}, {}, named(u"ttyUSB1"_s));
        QVERIFY2(moved.Start(&error), error.c_str());
        const QString movedPath = QString::fromStdString(moved.LinkPath());
        adapter.Vanish();
        QTRY_VERIFY(!dialog.Host().PortOpen());
        QTRY_VERIFY(!QFileInfo(adapterPath).isSymLink());
        machine.last() = {u"ttyUSB1"_s, movedPath, u"Simulated camera"_s, u"A1B2"_s, QString()};
        dialog.OnTimer(CMyCorvixDlg::kTimerReplug);
        QVERIFY2(WaitUntil([&] { return moved.Received() == CycleRequests() + "w 01 00F9\r\n"; }), moved.Received().c_str());
        QCOMPARE(dialog.Line().strDevice, movedPath);
        QCOMPARE(ports->currentText(), u"ttyUSB1 — Simulated camera"_s);
        QCOMPARE(bench.boxes.Boxes().size(), 1); // the loss
        dialog.OnOpenClosePort();

        CMyCorvixDlg again; // the next start chooses it again while it is there
        QCOMPARE(qobject_cast<QComboBox*>(again.GetDlgItem(1007))->currentIndex(), 5);
        QCOMPARE(again.Line().strDevice, movedPath);
        machine.removeLast();
        CMyCorvixDlg unplugged; // and COM1 once it is gone
        QCOMPARE(unplugged.Line().nPort, 1);
        SetPortSource(previous);
    }

    void screenshotOfThePortList()
    {
        SKIP_UNLESS_SCREENSHOTS("port-list.png");
        DialogBench bench;
        const PortSource fake = SetPortSource(PortSource()); // this machine's own ports
        bench.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(bench.dialog.get()));
        auto* ports = qobject_cast<QComboBox*>(bench.dialog->GetDlgItem(1007));
        QTest::keyClick(ports, Qt::Key_F4);
        QTest::qWait(400);
        QWidget* popup = ports->view()->window();
        QPixmap shot = bench.dialog->grab();
        QPainter painter(&shot);
        painter.drawPixmap(bench.dialog->mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
        painter.end();
        ports->hidePopup();
        SetPortSource(fake);
        QVERIFY(shot.save(qEnvironmentVariable("ORVANE_SCREENSHOT_DIR") + u"/port-list.png"_s));
    }

    void screenshotOfTheSearch()
    {
        SKIP_UNLESS_SCREENSHOTS("find-camera.png");
        PtyOptions at9600;
        at9600.nOwnRate = 9600;
        DialogBench bench(QString(), {}, {}, at9600);
        bench.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(bench.dialog.get()));
        bool saved = false;
        QTimer::singleShot(0, bench.dialog.get(), [&] {
            auto* search = bench.dialog->findChild<CFindCameraDlg*>();
            auto* progress = search->findChild<QProgressBar*>();
            WaitUntil([&] { return progress->value() == progress->maximum(); }, 20000);
            QTest::qWait(200);
            saved = search->grab().save(qEnvironmentVariable("ORVANE_SCREENSHOT_DIR") + u"/find-camera.png"_s);
            search->reject();
        });
        bench.dialog->OpenFindCameraDialog();
        QVERIFY(saved);
    }

    // A file exported from the window applies with orvane-cli to another
    // camera, which then reads back as the export; nothing to export before
    // a read.
    void exportedSettingsApplyWithTheCommandLine()
    {
        DialogBench bench;
        QTemporaryDir dir;
        const QString path = dir.filePath(u"cam.json"_s);
        const FileDialogAnswer answer(SetSaveFileHandler, path);
        bench.dialog->OnExportSettings();
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"串口未打开或者读取配置未完成！"_s);
        QVERIFY(!QFile::exists(path));

        bench.camera.Camera().SetRegister(0x12, 61); // brightness
        bench.camera.Camera().SetRegister(0x1A, 3);  // sharpness
        bench.camera.Camera().SetRegister(0x09, 0x40); // mirror
        bench.camera.Camera().SetRegister(0x1B, 5);  // scene "dim"
        QVERIFY(bench.OpenAndRead());
        bench.dialog->OnExportSettings();
        QCOMPARE(Text(*bench.dialog, 1072), u"设置已导出到 %1"_s.arg(QFileInfo(path).fileName())); // success is said
        const QJsonObject exported = JsonFile(path);
        QCOMPARE(exported[u"brightness"], QJsonValue(61));
        QCOMPARE(exported[u"mirror"], QJsonValue(true));

        PtyCamera other;
        std::string error;
        QVERIFY2(other.Start(&error), error.c_str());
        const QString device = QString::fromStdString(other.DevicePath());
        const Run apply = RunCli({u"--port"_s, device, u"apply"_s, path});
        QVERIFY2(apply.nExitCode == 0, qPrintable(apply.strErr));
        const Run read = RunCli({u"--port"_s, device, u"read"_s, u"--json"_s});
        QVERIFY2(read.nExitCode == 0, qPrintable(read.strErr));
        QCOMPARE(QJsonDocument::fromJson(read.strOut.toUtf8()).object(), exported);
    }

    // Exporting used to put a file in the place of whatever the path named.
    void anExportReplacesOnlyARegularFile()
    {
        DialogBench bench;
        QVERIFY(bench.OpenAndRead());
        QTemporaryDir dir;
        const QString fifo = dir.filePath(u"pipe"_s);
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        {
            const FileDialogAnswer answer(SetSaveFileHandler, fifo);
            bench.dialog->OnExportSettings();
        }
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"导出设置失败：%1\nnot a regular file"_s.arg(fifo));
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());

        const QString earlier = WriteFile(dir, u"cam.json"_s, "{}");
        const FileDialogAnswer answer(SetSaveFileHandler, earlier);
        bench.dialog->OnExportSettings();
        QCOMPARE(JsonFile(earlier)[u"brightness"], QJsonValue(bench.camera.Camera().Register(0x12)));
        QCOMPARE(bench.boxes.Boxes().size(), 1);
    }

    // An import fills both pages and sends nothing; "保存" then sends
    // exactly the writes of a save with the file's values, reads back and
    // names the setting the camera did not take.
    void importedSettingsAreSavedAndReadBack()
    {
        CameraFaults forgetful;
        forgetful.nIgnoredWriteRegister = 0x10; // gain
        DialogBench bench(QString(), forgetful);
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        dialog.OnSave(); // the writes of a save of what the camera has
        const std::string plain = bench.ReceivedBeforeMarker();
        QVERIFY(plain.ends_with("w 01 00F9\r\nw 01 00EF\r\n"));

        QTemporaryDir dir;
        const QString path = WriteFile(dir, u"site.json"_s,
                                       R"({"format": 1, "brightness": 70, "mirror": true, "scene": "dim",
                                           "gain": 20, "osd_language": "english"})");
        const FileDialogAnswer answer(SetOpenFileHandler, path);
        bench.camera.Camera().ClearCapture();
        dialog.OnImportSettings();
        QCOMPARE(bench.ReceivedBeforeMarker(), std::string());
        QCOMPARE(Text(dialog, 1072), u"已导入设置，按“保存”写入设备"_s);
        QCOMPARE(dialog.PagePara().Item<QLineEdit>(1002)->text(), u"70"_s);
        QCOMPARE(dialog.PageOsd().ShownLanguage(), 0);

        bench.camera.Camera().ClearCapture();
        dialog.OnSave();
        std::string expected = WithWrite(plain, 0x12, [](int) { return 70; });
        expected = WithWrite(expected, 0x09, [](int sent) { return sent | 0x40; });
        expected = WithWrite(expected, 0x1B, [](int) { return 5; });
        expected = WithWrite(expected, 0x10, [](int) { return 20; });
        expected = WithWrite(expected, 0xF9, [](int) { return 0; });
        QVERIFY(bench.camera.WaitReceived(expected + CycleRequests() + "w 01 00F9\r\n"));
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }));
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"以下导入的设置回读与写入不一致：\ngain: wanted 20, camera has 32"_s);
    }

    // A file that does not fit this camera, or is no settings file, is
    // refused whole with the key named; the pages stay as they were.
    void importOfABadFileChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("named");
        QTest::newRow("contrast with backlight") << QByteArray(R"({"format":1,"brightness":77,"contrast_enhancement":true})")
                                                 << u"\"contrast_enhancement\": true with \"backlight\": \"manual\""_s;
        QTest::newRow("60 Hz time at 25 frames") << QByteArray(R"({"format":1,"brightness":77,"shutter":"1/60"})")
                                                 << u"\"shutter\": \"1/60\"; allowed: for this camera's video format 1080p@25"_s;
        QTest::newRow("out of range") << QByteArray(R"({"format":1,"osd_language":"english","brightness":300})")
                                      << u"\"brightness\": 300; allowed: a whole number from 0 to 100"_s;
    }

    void importOfABadFileChangesNothing()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, named);
        DialogBench bench;
        bench.camera.Camera().SetRegister(0x1D, 0x01); // backlight compensation manual
        QVERIFY(bench.OpenAndRead());
        CMyCorvixDlg& dialog = *bench.dialog;
        const QJsonObject before = SettingsToJson({dialog.PagePara().ShownSettings(), dialog.PageOsd().ShownLanguage()});
        QTemporaryDir dir;
        const QString path = WriteFile(dir, u"bad.json"_s, file);
        const FileDialogAnswer answer(SetOpenFileHandler, path);
        bench.camera.Camera().ClearCapture();
        dialog.OnImportSettings();
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QVERIFY2(bench.boxes.Boxes()[0].text.startsWith(u"导入设置失败，页面保持不变：%1\n%2"_s.arg(path, named)),
                 qPrintable(bench.boxes.Boxes()[0].text));
        QCOMPARE(SettingsToJson({dialog.PagePara().ShownSettings(), dialog.PageOsd().ShownLanguage()}), before);
        QCOMPARE(bench.ReceivedBeforeMarker(), std::string());
    }

    // An import used to be lost without a word at the next read (the port
    // opened again, the image page chosen), and the next save wrote the
    // camera's own values. It stays what the pages show until it is saved;
    // one that no longer fits the camera read is dropped with a box.
    void anImportStaysUntilItIsSaved()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.OpenAndRead());
        QTemporaryDir dir;
        const QString path = WriteFile(dir, u"site.json"_s, R"({"format": 1, "brightness": 70, "shutter": "1/50"})");
        const FileDialogAnswer answer(SetOpenFileHandler, path);
        dialog.OnImportSettings();
        const auto reopenAndRead = [&] {
            dialog.OnOpenClosePort();
            bench.camera.Camera().ClearCapture();
            dialog.OnOpenClosePort();
            return bench.camera.WaitReceived(CycleRequests() + "w 01 00F9\r\n");
        };
        QVERIFY(reopenAndRead());
        QCOMPARE(dialog.PagePara().Item<QLineEdit>(1002)->text(), u"70"_s);
        QCOMPARE(Text(dialog, 1072), u"已导入设置，按“保存”写入设备"_s);
        bench.camera.Camera().ClearCapture();
        dialog.OnSave();
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with(CycleRequests() + "w 01 00F9\r\n"); }));
        QVERIFY(bench.camera.Camera().Received().find("w 46 0012\r\n") != std::string::npos); // brightness 70
        QCOMPARE(bench.camera.Camera().Register(0x12), 70);
        QVERIFY(bench.boxes.Boxes().isEmpty()); // read back as written

        // A camera read in a 60 Hz format offers no 1/50 s.
        dialog.OnImportSettings();
        bench.camera.Camera().SetRegister(0x1F, 0x01); // 1080p@30
        QVERIFY(reopenAndRead());
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QVERIFY2(bench.boxes.Boxes()[0].text.startsWith(
                     u"导入的设置不适用于读取到的相机，已放弃，页面显示相机的设置：%1\n\"shutter\": \"1/50\""_s.arg(path)),
                 qPrintable(bench.boxes.Boxes()[0].text));
        QCOMPARE(dialog.PagePara().ShownSettings().nVideoCode, 0x01);
        QVERIFY(reopenAndRead()); // dropped: nothing more is said
        QCOMPARE(bench.boxes.Boxes().size(), 1);
    }

    // The context menu's trace: what goes over the line while it runs, the
    // status text's tooltip saying so; nothing after it is stopped.
    void theWindowTracesTheLine()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QTemporaryDir dir;
        const QString path = dir.filePath(u"line.log"_s);
        const FileDialogAnswer answer(SetAppendFileHandler, path);
        dialog.OnTraceLine();
        QVERIFY(dialog.Tracing());
        QVERIFY(dialog.GetDlgItem(1033)->toolTip().endsWith(u"\n正在记录通信："_s + path));
        QVERIFY(bench.OpenAndRead());
        dialog.OnTraceLine(); // stops: what was traced is written
        QVERIFY(!dialog.Tracing());
        QVERIFY(!dialog.GetDlgItem(1033)->toolTip().contains(u"正在记录通信"_s));
        bench.ReceivedBeforeMarker(); // "w AB 0055", after the trace stopped

        const QByteArray trace = FileBytes(path);
        const QByteArray device = bench.camera.Device().toUtf8();
        QVERIFY2(trace.contains(OpenedLine(bench, 115200)), trace.constData());
        QVERIFY(trace.contains(QByteArray(device + " -> r 001F \\r\\n\n")));
        QVERIFY(trace.contains(QByteArray(device + " -> w 01 00F9\\r\\n\n")));
        QVERIFY(trace.contains(" <- "));
        QVERIFY(!trace.contains("w AB 0055"));
    }

    void screenshotOfTheContextMenu()
    {
        SKIP_UNLESS_SCREENSHOTS("context-menu.png");
        DialogBench bench;
        bench.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(bench.dialog.get()));
        QPixmap shot;
        QTimer::singleShot(300, bench.dialog.get(), [&] {
            if (QWidget* menu = QApplication::activePopupWidget()) {
                shot = bench.dialog->grab();
                QPainter painter(&shot);
                painter.drawPixmap(menu->mapToGlobal(QPoint()) - bench.dialog->mapToGlobal(QPoint()), menu->grab());
                menu->close();
            }
        });
        const QPoint at(40, 40);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, bench.dialog->mapToGlobal(at));
        QApplication::sendEvent(bench.dialog.get(), &event);
        QVERIFY(!shot.isNull());
        QVERIFY(shot.save(qEnvironmentVariable("ORVANE_SCREENSHOT_DIR") + u"/context-menu.png"_s));
    }
};

QTEST_MAIN(TestMainDialog)
#include "tst_main_dialog.moc"
