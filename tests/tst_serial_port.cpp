#include "serial/comm_errors.h"
#include "core/config/com_ports.h"
#include "serial/line_settings.h"
#include "serial/line_trace.h"
#include "serial/serial_port.h"
#include "tests/support/camera_fixture.h"
#include "tests/support/port_owner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <chrono>
#include <memory>
#include <thread>

using namespace Qt::StringLiterals;

namespace {


std::int64_t SteadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The bytes from `from` on that reached the camera after atNs, on the camera's clock.
int StampedAfter(const std::vector<LineByte>& line, std::size_t from, std::size_t count, std::int64_t atNs)
{
    int after = 0;
    for (std::size_t at = from; at < from + count && at < line.size(); ++at)
        after += line[at].nAtNs > atNs ? 1 : 0;
    return after;
}

bool OpenCom(CSerialPort& port, PortOwner& owner, unsigned number = 1, int baud = 115200)
{
    owner.Listen(port);
    return port.Open({.nNumber = number, .strDevice = ResolvePortName(number), .nBaud = baud});
}

// The camera on COM1, an owner and its port.
struct PortBench {
    CameraFixture fixture;
    PortOwner owner;
    CSerialPort port;

    bool OpenMonitored() { return OpenCom(port, owner) && port.StartMonitor(); }
};

} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT

private slots:
    void buildsLineSettings_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<char>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<bool>("valid");
        QTest::newRow("dialog defaults") << 115200 << 'N' << 8 << 1 << true;
        QTest::newRow("7E2") << 9600 << 'E' << 7 << 2 << true;
        QTest::newRow("space parity") << 300 << 'S' << 6 << 1 << true;
        QTest::newRow("unmapped parity index gives 0") << 115200 << '\0' << 8 << 1 << false;
        QTest::newRow("4 data bits") << 115200 << 'N' << 4 << 1 << false;
        QTest::newRow("stop 0") << 115200 << 'N' << 8 << 0 << false;
        QTest::newRow("baud 0") << 0 << 'N' << 8 << 1 << false;
    }

    void buildsLineSettings()
    {
        QFETCH(int, baud);
        QFETCH(char, parity);
        QFETCH(int, dataBits);
        QFETCH(int, stopBits);
        QFETCH(bool, valid);
        const std::optional<LineSettings> settings = BuildLineSettings(baud, parity, dataBits, stopBits);
        QCOMPARE(settings.has_value(), valid);
        if (valid) {
            QCOMPARE(settings->nBaud, baud);
            QCOMPARE(int(settings->dataBits), dataBits);
        }
        QCOMPARE(LineDefinition(115200, 'N', 8, 1), u"baud=115200 parity=N data=8 stop=1"_s);
    }

    void resolvesComNamesThroughConfig()
    {
        CameraFixture fixture;
        QCOMPARE(ResolvePortName(1), fixture.Device());
        QCOMPARE(ResolvePortName(2), u"/dev/ttyS1"_s);
        // Wherever a port is named: COMn in any case, a device as it stands.
        const NamedPort com1 = ResolvePort(u"com1"_s);
        QCOMPARE(com1.strName, u"com1"_s);
        QCOMPARE(com1.strDevice, fixture.Device());
        QCOMPARE(com1.nComNumber, 1u);
        QCOMPARE(ResolvePort(u"COM12"_s).strDevice, u"/dev/ttyS11"_s);
        for (const QString& device : {u"/dev/ttyUSB0"_s, u"COM0"_s, u"COM1000"_s, u"xCOM1"_s}) {
            const NamedPort named = ResolvePort(device);
            QCOMPARE(named.strDevice, device);
            QCOMPARE(named.nComNumber, 0u);
        }
    }

    void missingDeviceFailsSilentlyThenValidOpens()
    {
        CameraFixture fixture;
        PortOwner owner;
        CSerialPort port;
        QVERIFY(!OpenCom(port, owner, 3));
        QVERIFY(!port.IsOpen());
        QVERIFY(owner.reports.isEmpty());
        QVERIFY(OpenCom(port, owner, 1));
        QVERIFY(port.IsOpen());
        QVERIFY(!port.IsMonitorRunning()); // Open never starts the monitor
    }

    void deliversWhatItHearsInOrder()
    {
        PortBench bench;
        auto& [fixture, owner, port] = bench;
        QVERIFY(bench.OpenMonitored());
        port.QueueWrite("r 0000 \r\n");
        QVERIFY(fixture.WaitReceived("r 0000 \r\n"));
        port.QueueWrite("r 0001 \r\n");
        QTRY_COMPARE(owner.ReceivedBytes(), QByteArray("12\r\n13\r\n"));
        for (const PortOwner::Message& m : owner.messages)
            QVERIFY(!m.Lost());
    }

    // A second hand-over before the first went out used to overwrite it.
    void handOversReachTheLineWholeAndInOrder()
    {
        CameraFixture fixture;
        PortOwner owner;
        CSerialPort port;
        QVERIFY(OpenCom(port, owner));
        port.QueueWrite("w 01 0012\r\n");
        port.QueueWrite("w 02 0013\r\n"); // queued before the monitor even runs
        QVERIFY(port.StartMonitor());
        port.QueueWrite(QByteArray("\x01\x12\x34\x00\x00\x00\xFA", 7));
        port.QueueWrite(QByteArray(1300, 'z')); // longer than the 512-byte buffer: split, nothing lost
        std::string expected = "w 01 0012\r\nw 02 0013\r\n";
        expected.append("\x01\x12\x34\x00\x00\x00\xFA", 7);
        expected.append(1300, 'z');
        QVERIFY(fixture.WaitReceived(expected));
    }

    // A write used to purge the receive queue and lose replies in flight.
    void writesDoNotDiscardReplies()
    {
        PortBench bench;
        auto& [fixture, owner, port] = bench;
        QVERIFY(bench.OpenMonitored());
        port.QueueWrite("r 0000 \r\n");
        port.QueueWrite("r 0001 \r\n");
        // The first reply is on its way while the writes go on.
        QVERIFY(WaitUntil([&] { return !fixture.Camera().Sent().empty(); }));
        port.QueueWrite("w 05 0012\r\n");
        QTRY_COMPARE(owner.ReceivedBytes(), QByteArray("12\r\n13\r\n"));
    }

    // Bytes handed over just before a stop used to be dropped with the device.
    void stopSendsWhatWasHandedOverBeforeIt()
    {
        PortBench bench;
        auto& [fixture, owner, port] = bench;
        QVERIFY(bench.OpenMonitored());
        port.QueueWrite("w 00 FFFF\r\n");
        port.QueueWrite("w 01 FFFF\r\n");
        port.SignalStop();
        QVERIFY(fixture.WaitReceived("w 00 FFFF\r\nw 01 FFFF\r\n"));
        QTRY_VERIFY(!port.IsMonitorRunning());
    }

    void stopClosesTheDeviceWithExitCode100()
    {
        PortBench bench;
        auto& [fixture, owner, port] = bench;
        QVERIFY(bench.OpenMonitored());
        QVERIFY(port.IsMonitorRunning());
        port.SignalStop();
        QTRY_VERIFY(!port.IsMonitorRunning());
        QVERIFY(!port.IsOpen());
        QCOMPARE(port.MonitorExitCode(), CSerialPort::kStopExitCode);
    }

    void openWhileMonitoringEndsTheOldThreadFirst()
    {
        PortBench bench;
        auto& [fixture, owner, port] = bench;
        QVERIFY(bench.OpenMonitored());
        QVERIFY(OpenCom(port, owner, 1, 9600));
        QCOMPARE(port.MonitorExitCode(), CSerialPort::kStopExitCode);
        QVERIFY(!port.IsMonitorRunning());
        QVERIFY(port.IsOpen());
        QTRY_COMPARE(fixture.Camera().LineRate(), 9600);
        QVERIFY(port.StartMonitor());
        port.QueueWrite("r 0001 \r\n");
        QTRY_COMPARE(owner.ReceivedBytes(), QByteArray("13\r\n"));
    }

    // Stopping or reopening from inside the handler of a delivered byte used to deadlock.
    void stopInsideANotificationDoesNotDeadlock()
    {
        PortBench bench;
        auto& [fixture, owner, port] = bench;
        QVERIFY(bench.OpenMonitored());
        int reopened = 0;
        quint64 runBefore = 0;
        owner.onMessage = [&](const PortOwner::Message& m) {
            if (!m.Lost() && reopened == 0) {
                ++reopened;
                runBefore = port.Run();
                QVERIFY(OpenCom(port, owner)); // waits for the monitor that is delivering this very chunk
            }
        };
        port.QueueWrite("r 0000 \r\n");
        QTRY_COMPARE(reopened, 1);
        QVERIFY(!port.IsMonitorRunning());
        QCOMPARE(port.MonitorExitCode(), CSerialPort::kStopExitCode);
        QVERIFY(port.Run() != runBefore); // the rest of the chunk is no longer the owner's
    }

    // An unplugged device used to raise endless boxes from a spinning thread.
    void vanishedDeviceIsReportedOnceAndEndsMonitoring_data()
    {
        QTest::addColumn<bool>("afterNineBytes");
        QTest::newRow("unplugged mid-session") << false;
        QTest::newRow("gone after the first command (--vanish-after 9)") << true;
    }

    void vanishedDeviceIsReportedOnceAndEndsMonitoring()
    {
        QFETCH(bool, afterNineBytes);
        PtyOptions options;
        if (afterNineBytes)
            options.nVanishAfterBytes = 9;
        CameraFixture fixture({}, {}, options);
        PortOwner owner;
        CSerialPort port;
        QVERIFY(OpenCom(port, owner));
        QVERIFY(port.StartMonitor());
        port.QueueWrite("r 0000 \r\n");
        if (!afterNineBytes) {
            QTRY_COMPARE(owner.ReceivedBytes(), QByteArray("12\r\n"));
            fixture.Camera().Vanish();
        }
        QTRY_VERIFY(!port.IsMonitorRunning());
        // The monitor has let go: all it posted is ahead of this in the owner's queue.
        bool caughtUp = false;
        QMetaObject::invokeMethod(QCoreApplication::instance(), [&caughtUp] { caughtUp = true; }, Qt::QueuedConnection);
        QVERIFY(WaitUntil([&] { return caughtUp; }));
        QCOMPARE(owner.reports.size(), 1);
        // The cause as the OS words it, not "Unknown error".
        QCOMPARE(owner.reports.front().strStep, u"read()"_s);
        QCOMPARE(owner.reports.front().strSystemText, u"Input/output error"_s);
        QCOMPARE(owner.reports.front().nPortNumber, 1u);
        QVERIFY(owner.reports.front().bDeviceLost);
        QCOMPARE(port.MonitorExitCode(), CSerialPort::kDeviceLostExitCode);
        QVERIFY(!port.IsOpen());
        QVERIFY(owner.messages.last().Lost());
        port.QueueWrite("r 0000 \r\n"); // harmless once the device is gone
        QVERIFY(!port.StartMonitor());
    }

    void refusedSettingIsReportedAndOpenStillSucceeds()
    {
        CameraFixture fixture;
        PortOwner owner;
        CSerialPort port;
        owner.Listen(port);
        QVERIFY(port.Open({.nNumber = 1, .strDevice = ResolvePortName(1), .cParity = '\0'}));
        QVERIFY(port.IsOpen());
        QCOMPARE(owner.reports.size(), 1);
        QCOMPARE(owner.reports.front().strStep, u"tcsetattr()"_s);
        QCOMPARE(owner.reports.front().nPortNumber, 1u);
        QVERIFY(!owner.reports.front().bDeviceLost);
    }

    // Errors used to be cleared without a trace unless two came in a row.
    void errorsAreReportedOnceOrEndTheDevice()
    {
        using V = CCommErrors::Verdict;
        CCommErrors errors;
        QCOMPARE(errors.OnError(QSerialPort::NoError), V::Ignore);
        QCOMPARE(errors.OnError(QSerialPort::WriteError), V::Hold); // a single failed write: reported when quiet
        errors.OnGoodTransfer();
        QCOMPARE(errors.OnError(QSerialPort::ReadError), V::Hold);
        QCOMPARE(errors.OnError(QSerialPort::ReadError), V::DeviceLost); // a second one in a row: gone
        CCommErrors unplugged;
        QCOMPARE(unplugged.OnError(QSerialPort::ResourceError), V::DeviceLost);
        CCommErrors other;
        QCOMPARE(other.OnError(QSerialPort::UnknownError), V::Hold); // no kind is cleared silently
        QCOMPARE(CCommErrors::StepName(QSerialPort::WriteError), u"write()"_s);
        QCOMPARE(CCommErrors::StepName(QSerialPort::ReadError), u"read()"_s);
        QCOMPARE(CCommErrors::StepName(QSerialPort::ResourceError), u"read()"_s);
        QCOMPARE(CCommErrors::StepName(QSerialPort::UnknownError), u"poll()"_s);
    }

    // The exit code used to read "stopped" when the owner closed the port in
    // answer to the loss.
    void aLossStaysALossWhenTheOwnerStopsInAnswer()
    {
        PortBench bench;
        auto& [fixture, owner, port] = bench;
        QVERIFY(bench.OpenMonitored());
        owner.onMessage = [&](const PortOwner::Message& m) {
            if (m.Lost())
                port.SignalStop();
        };
        fixture.Camera().Vanish();
        QTRY_VERIFY(!port.IsMonitorRunning());
        QCOMPARE(port.MonitorExitCode(), CSerialPort::kDeviceLostExitCode);
        QCOMPARE(owner.reports.size(), 1);
    }

    // A write used to wait until every byte of a whole received chunk (about
    // 4 KB under a flood) had been delivered to the owner.
    void aWriteGoesOutWhileTheOwnerIsBehind()
    {
        PortBench bench;
        auto& [fixture, owner, port] = bench;
        fixture.Camera().SetFlood(true);
        QVERIFY(bench.OpenMonitored());
        const std::string command = "w 01 0012\r\n";
        int chunks = 0;
        int chunksWhenSent = -1;
        owner.onMessage = [&](const PortOwner::Message& m) {
            if (m.Lost() || chunksWhenSent >= 0)
                return;
            QThread::msleep(20); // a slow owner: the flood piles up behind it
            if (++chunks == 1)
                port.QueueWrite(command.c_str());
            else if (fixture.Camera().Received() == command)
                chunksWhenSent = chunks;
        };
        QTRY_VERIFY_WITH_TIMEOUT(chunksWhenSent >= 0, 20000);
        fixture.Camera().SetFlood(false);
        qInfo("the write reached the camera after %d more delivered chunks", chunksWhenSent - 1);
        QVERIFY2(chunksWhenSent - 1 <= 3, "the write waited behind the received chunks");
        QVERIFY(owner.reports.isEmpty());
    }

    // Closing restores the line settings from before the open; at 300 baud
    // the last commands used to leave at the restored rate.
    void stopWaitsUntilTheLastBytesHaveLeftTheLine()
    {
        PortBench bench;
        auto& [fixture, owner, port] = bench;
        QVERIFY(OpenCom(port, owner, 1, 300));
        QVERIFY(port.StartMonitor());
        QTRY_COMPARE(fixture.Camera().LineRate(), 300);
        const std::string restart = "w 00 FFFF\r\nw 01 FFFF\r\n";
        port.QueueWrite(restart.c_str());
        port.SignalStop();
        QVERIFY(fixture.WaitReceived(restart, 5000));
        const std::vector<LineByte> line = fixture.Camera().ReceivedLine();
        for (const LineByte& byte : line)
            QCOMPARE(byte.nRate, 300);
        // 22 characters of 10 bit times at 300 baud: 21 character times from the first to the last.
        QVERIFY(line.back().nAtNs - line.front().nAtNs >= 21 * (10'000'000'000LL / 300));
        QTRY_VERIFY(!port.IsMonitorRunning());
    }

    // A reopen of the same device used to wait for the old monitor until
    // what it was given had left the line: 367 ms for 11 bytes at 300 baud.
    // Now it returns at once, and the device is opened again once the old
    // bytes are out at the old rate.
    void aReopenReturnsAtOnceAndFollowsTheOldClose()
    {
        PortBench bench;
        auto& [fixture, owner, port] = bench;
        QVERIFY(OpenCom(port, owner, 1, 300));
        QVERIFY(port.StartMonitor());
        QTRY_COMPARE(fixture.Camera().LineRate(), 300);
        const std::string restart = "w 00 FFFF\r\n";
        port.QueueWrite(restart.c_str());
        QVERIFY(WaitUntil([&] { return !fixture.Camera().Received().empty(); }));
        QVERIFY(OpenCom(port, owner, 1, 9600));
        const std::int64_t returnedNs = SteadyNs();
        QCOMPARE(port.MonitorExitCode(), CSerialPort::kStopExitCode);
        QVERIFY(port.IsOpen());
        QVERIFY(port.StartMonitor());
        QVERIFY(port.IsMonitorRunning());
        QVERIFY(!port.StartMonitor()); // once
        port.QueueWrite("r 0001 \r\n");
        QVERIFY(fixture.WaitReceived(restart + "r 0001 \r\n"));
        QTRY_COMPARE(owner.ReceivedBytes(), QByteArray("13\r\n"));
        const std::vector<LineByte> line = fixture.Camera().ReceivedLine();
        for (std::size_t at = 0; at < line.size(); ++at)
            QCOMPARE(line[at].nRate, at < restart.size() ? 300 : 9600);
        const int later = StampedAfter(line, 0, restart.size(), returnedNs);
        QVERIFY2(later >= 2, qPrintable(u"%1 of the old bytes reached the camera after Open returned"_s.arg(later)));
        QVERIFY(owner.reports.isEmpty());
    }

    // Stopped, or closed, while a reopening waits for the old close: the
    // reopening is given up, with what was handed over for it.
    void aReopeningThatWaitsCanBeGivenUp_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("stopped") << false;
        QTest::newRow("closed") << true;
    }

    void aReopeningThatWaitsCanBeGivenUp()
    {
        QFETCH(bool, close);
        PortBench bench;
        auto& [fixture, owner, port] = bench;
        QVERIFY(OpenCom(port, owner, 1, 300));
        QVERIFY(port.StartMonitor());
        QTRY_COMPARE(fixture.Camera().LineRate(), 300);
        const std::string restart = "w 00 FFFF\r\n";
        port.QueueWrite(restart.c_str());
        QVERIFY(WaitUntil([&] { return !fixture.Camera().Received().empty(); }));
        QVERIFY(OpenCom(port, owner, 1, 300));
        QVERIFY(port.StartMonitor());
        const WriteTicket ticket = port.QueueWrite("r 0001 \r\n");
        if (close)
            port.Close();
        else
            port.SignalStop();
        QVERIFY(!port.IsOpen());
        QVERIFY(!port.IsMonitorRunning());
        QCOMPARE(port.WaitWritten(ticket, 0), CSerialPort::WriteState::Dropped);
        // A later opening of its own proves the old close is over.
        QVERIFY(WaitUntil([&] { return fixture.Camera().Received() == restart; }));
        QVERIFY(OpenCom(port, owner, 1, 300));
        QVERIFY(port.StartMonitor());
        port.QueueWrite("r 0000 \r\n");
        QVERIFY(fixture.WaitReceived(restart + "r 0000 \r\n"));
        QTRY_COMPARE(owner.ReceivedBytes(), QByteArray("12\r\n"));
        QVERIFY(owner.reports.isEmpty());
    }

    // The device goes while the old close drains and a reopening waits for
    // it: the reopening finds nothing and says so once, as a lost device.
    void aDeviceThatGoesWhileAReopeningWaitsIsLost()
    {
        PortBench bench;
        auto& [fixture, owner, port] = bench;
        QVERIFY(OpenCom(port, owner, 1, 300));
        QVERIFY(port.StartMonitor());
        QTRY_COMPARE(fixture.Camera().LineRate(), 300);
        port.QueueWrite("w 00 FFFF\r\n");
        QVERIFY(WaitUntil([&] { return !fixture.Camera().Received().empty(); }));
        QVERIFY(OpenCom(port, owner, 1, 300));
        QVERIFY(port.StartMonitor());
        fixture.Camera().Vanish();
        QVERIFY(WaitUntil([&] { return !owner.messages.isEmpty(); }));
        QVERIFY(owner.messages.last().Lost());
        QCOMPARE(owner.reports.size(), 1);
        QCOMPARE(owner.reports.front().strStep, u"open()"_s);
        QCOMPARE(owner.reports.front().strSystemText, u"No such file or directory"_s);
        QVERIFY(owner.reports.front().bDeviceLost);
        QVERIFY(!port.IsOpen());
        QVERIFY(!port.IsMonitorRunning());
        QVERIFY(!port.StartMonitor());
    }

    // A port may go while its line drains and a reopening waits: what was
    // handed over still leaves whole, at its rate, and nothing is opened.
    void aPortGoesWhileItsLineDrains_data()
    {
        QTest::addColumn<bool>("reopened");
        QTest::newRow("stopped") << false;
        QTest::newRow("stopped and reopened") << true;
    }

    void aPortGoesWhileItsLineDrains()
    {
        QFETCH(bool, reopened);
        CameraFixture fixture;
        PortOwner owner;
        auto port = std::make_unique<CSerialPort>();
        QVERIFY(OpenCom(*port, owner, 1, 300));
        QVERIFY(port->StartMonitor());
        QTRY_COMPARE(fixture.Camera().LineRate(), 300);
        const std::string restart = "w 00 FFFF\r\n";
        port->QueueWrite(restart.c_str());
        QVERIFY(WaitUntil([&] { return !fixture.Camera().Received().empty(); }));
        if (reopened) {
            QVERIFY(OpenCom(*port, owner, 1, 9600));
            QVERIFY(port->StartMonitor());
            port->QueueWrite("r 0001 \r\n");
        } else {
            port->SignalStop();
        }
        port.reset();
        QVERIFY(fixture.WaitReceived(restart));
        for (const LineByte& byte : fixture.Camera().ReceivedLine())
            QCOMPARE(byte.nRate, 300);
        QVERIFY(owner.reports.isEmpty());
    }

    // Stop, reopen, close and unplug in quick succession on a slow line with
    // writes pending: nothing hangs, commands never mix on the line, and
    // only the loss is told.
    void stopReopenAndUnplugAtAnyMomentNeverHang()
    {
        CameraFixture fixture;
        PortOwner owner;
        CSerialPort port;
        const std::string command = "w 01 0012\r\n";
        for (int round = 0; round < 40; ++round) {
            const bool opened = OpenCom(port, owner, 1, round % 2 ? 300 : 1200);
            QVERIFY(opened || round >= 30);
            if (round % 3 != 2)
                port.StartMonitor();
            port.QueueWrite(command.c_str());
            if (round % 4 == 0)
                QCoreApplication::processEvents();
            if (round % 5 == 0)
                port.SignalStop();
            else if (round % 5 == 1)
                port.Close();
            if (round == 29) {
                // Unplugged once the line has carried a command.
                QVERIFY(WaitUntil([&] { return fixture.Camera().Received().size() >= command.size(); }));
                fixture.Camera().Vanish();
            }
        }
        port.CloseAndWait();
        QVERIFY(fixture.Camera().Vanished());
        // Commands one after another, the last one perhaps cut by the unplug.
        const std::string line = fixture.Camera().Received();
        for (std::size_t at = 0; at < line.size(); ++at)
            QVERIFY2(line[at] == command[at % command.size()], line.c_str());
        for (const CommErrorReport& report : owner.reports)
            QVERIFY(report.bDeviceLost);
    }

    void stopAndReopenUnderFloodNeverHangs()
    {
        CameraFixture fixture;
        PortOwner owner;
        CSerialPort port;
        fixture.Camera().SetFlood(true);
        QElapsedTimer timer;
        timer.start();
        for (int round = 0; round < 200; ++round) {
            QVERIFY(OpenCom(port, owner));
            QVERIFY(port.StartMonitor());
            if (round % 20 == 0) {
                // Stop while bytes are being delivered.
                const qsizetype before = owner.messages.size();
                QTRY_VERIFY(owner.messages.size() > before);
            }
            port.SignalStop();
        }
        QTRY_VERIFY(!port.IsMonitorRunning());
        fixture.Camera().SetFlood(false);
        QVERIFY(owner.reports.isEmpty());
        QVERIFY(owner.ReceivedBytes().count('x') > 0);
        qInfo("200 stop/reopen rounds in %lld ms", timer.elapsed());
    }

    void destroyingAnUnopenedPortReturnsAtOnce()
    {
        QElapsedTimer timer;
        timer.start();
        {
            CSerialPort port;
        }
        QVERIFY(timer.elapsed() < 1000);
    }

    // Events of two threads are written in the order of their times: each
    // used to be stamped before it waited for the queue, so a later stamp
    // could be queued, and written, first.
    void aTraceOfTwoThreadsKeepsTheOrderOfItsTimes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"two.trace"_s);
        QString error;
        {
            std::shared_ptr<CLineTrace> trace = CLineTrace::Open(path, {}, &error);
            QVERIFY2(trace, qPrintable(error));
            const auto write = [&](const QString& port) {
                for (int i = 0; i < 50000; ++i)
                    trace->Received(port, "00\r\n");
            };
            std::thread first(write, u"A"_s);
            std::thread second(write, u"B"_s);
            first.join();
            second.join();
        } // the last holder lets the writer finish
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        qint64 last = 0;
        int lines = 0;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.isEmpty())
                continue;
            const qint64 ms = line.split(' ').value(1).mid(1).toLongLong(); // "CLOCK +MS PORT <- ..."
            QVERIFY2(ms >= last, line.constData());
            last = ms;
            ++lines;
        }
        QCOMPARE(lines, 100000);
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serial_port.moc"
