// Cameras behind a serial device server: the telnet layer, the addresses,
// and orvane-cli through a real server (ser2net) in front of the simulator.
#include "core/config/network_address.h"
#include "serial/telnet_codec.h"
#include "session/ports_scan.h"
#include "tests/support/camera_fixture.h"
#include "tests/support/cli_run.h"
#include "tests/support/delay_relay.h"
#include "tests/support/device_server.h"
#include "tests/support/dialog_bench.h"
#include "tests/support/package_writer.h"
#include "gui/main_window/find_camera_dlg.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <csignal>
#include <QFile>
#include <QRegularExpression>
#include <QLineEdit>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray Bytes(std::initializer_list<int> bytes)
{
    QByteArray array;
    for (const int byte : bytes)
        array += char(byte);
    return array;
}

constexpr int kIac = 255;
constexpr int kWill = 251;
constexpr int kWont = 252;
constexpr int kDo = 253;
constexpr int kDont = 254;
constexpr int kSb = 250;
constexpr int kSe = 240;

// The box asking for a device server's port answers `typed` while it lives.
class TypedAnswer {
public:
    explicit TypedAnswer(const QString& typed)
        : m_previous(SetTextHandler([typed](const QString&, const QString&) { return std::optional<QString>(typed); }))
    {
    }
    ~TypedAnswer() { SetTextHandler(std::move(m_previous)); }
    Q_DISABLE_COPY_MOVE(TypedAnswer)

private:
    TextHandler m_previous;
};

// A server on 127.0.0.1 that plays a script: what it says when a client
// connects, what it answers to the first bytes it hears, and when it hangs
// up (never, when negative).
class ScriptedServer {
public:
    ScriptedServer(QByteArray onConnect, QByteArray onFirstBytes, int closeAfterMs = -1)
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [=, this] {
            while (QTcpSocket* client = m_server.nextPendingConnection()) {
                client->write(onConnect);
                QObject::connect(client, &QTcpSocket::readyRead, client, [client, onFirstBytes, answered = false]() mutable {
                    client->readAll();
                    if (!std::exchange(answered, true))
                        client->write(onFirstBytes);
                });
                if (closeAfterMs >= 0)
                    QTimer::singleShot(closeAfterMs, client, [client] { client->close(); });
            }
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString Address() const { return u"rfc2217://127.0.0.1:%1"_s.arg(m_server.serverPort()); }

private:
    QTcpServer m_server;
};

// An RFC 2217 server with nothing behind it that answers every setting as
// asked, but every rate with its own.
class FixedRateServer {
public:
    explicit FixedRateServer(int baud)
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this, baud] {
            while (QTcpSocket* client = m_server.nextPendingConnection()) {
                client->write(Bytes({kIac, kDo, 44}));
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(client, &QTcpSocket::readyRead, client, [client, buffer, baud] {
                    *buffer += client->readAll();
                    for (qsizetype sb; (sb = buffer->indexOf(Bytes({kIac, kSb}))) >= 0;) {
                        const qsizetype se = buffer->indexOf(Bytes({kIac, kSe}), sb + 2);
                        if (se < 0)
                            return;
                        const QByteArray body = buffer->mid(sb + 2, se - sb - 2);
                        buffer->remove(0, se + 2);
                        if (body.size() < 2 || body[0] != char(44))
                            continue;
                        const int command = static_cast<unsigned char>(body[1]);
                        const QByteArray value = command == 1 ? CTelnetCodec::BaudRate(baud) : body.mid(2);
                        client->write(Bytes({kIac, kSb, 44, command + 100}) + CTelnetCodec::Escape(value)
                                      + Bytes({kIac, kSe}));
                    }
                });
            }
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString Address() const { return u"rfc2217://127.0.0.1:%1"_s.arg(m_server.serverPort()); }

private:
    QTcpServer m_server;
};

#define REQUIRE_SERVER(server)                                                                                          \
    QVERIFY2((server).Started(), "ser2net did not start: scripts/install-deps.sh installs it")

} // namespace

class TestNetworkLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { CameraFixture().WriteConfig(); }

    // What the server says, split anywhere, and what the client answers.
    void theTelnetLayerNegotiatesOnlyWhatALineNeeds()
    {
        CTelnetCodec codec;
        QCOMPARE(codec.Opening(), Bytes({kIac, kWill, 44, kIac, kWill, 0, kIac, kDo, 0, kIac, kDo, 3}));
        QByteArray reply;
        // Answers to our own requests need no answer; an offer of ECHO is
        // refused, a request to do TERMINAL-TYPE is refused, and data with a
        // doubled 0xFF split across chunks comes through as one byte.
        QByteArray data = codec.Feed(Bytes({kIac, kDo, 44, kIac, kWill, 0, kIac, kWill, 1, 'a', kIac}), &reply);
        data += codec.Feed(Bytes({kIac, 'b', kIac, kDo, 24}), &reply);
        QCOMPARE(data, Bytes({'a', 0xFF, 'b'}));
        QCOMPARE(reply, Bytes({kIac, kDont, 1, kIac, kWont, 24}));
        QVERIFY(codec.ComPortAgreed());
        // A second DO COM-PORT changes nothing and is not answered: no loop.
        reply.clear();
        QCOMPARE(codec.Feed(Bytes({kIac, kDo, 44}), &reply), QByteArray());
        QCOMPARE(reply, QByteArray());
        // The server's answer to SET-BAUDRATE 0x0000FF00, with its 0xFF doubled, split in the middle.
        QVERIFY(codec.Feed(Bytes({kIac, kSb, 44, 101, 0, 0, kIac}), &reply).isEmpty());
        QVERIFY(codec.Feed(Bytes({kIac, 0, kIac, kSe, 'z'}), &reply) == "z");
        const std::vector<CTelnetCodec::ComPortAnswer> answers = codec.TakeAnswers();
        QCOMPARE(answers.size(), std::size_t(1));
        QCOMPARE(answers[0].nCommand, 1);
        QCOMPARE(answers[0].value, CTelnetCodec::BaudRate(0xFF00));
        // And the command that asked for it, escaped the same way.
        QCOMPARE(CTelnetCodec::ComPort(CTelnetCodec::SetBaudRate, CTelnetCodec::BaudRate(0xFF00)),
                 Bytes({kIac, kSb, 44, 1, 0, 0, kIac, kIac, 0, kIac, kSe}));
        QCOMPARE(CTelnetCodec::Escape(Bytes({1, 0xFF, 0xFF, 2})), Bytes({1, 0xFF, 0xFF, 0xFF, 0xFF, 2}));

        CTelnetCodec refusing;
        refusing.Opening();
        refusing.Feed(Bytes({kIac, kDont, 44}), &reply);
        QVERIFY(refusing.ComPortRefused());
    }

    void addressesAreCheckedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parsed"); // host and port, or what is wrong
        QTest::newRow("rfc2217") << u"rfc2217://10.0.0.5:4001"_s << u"rfc2217 10.0.0.5 4001"_s;
        QTest::newRow("socket, a name") << u"SOCKET://cabinet-7.tunnel.local:23"_s << u"socket cabinet-7.tunnel.local 23"_s;
        QTest::newRow("IPv6") << u"rfc2217://[fe80::1]:4001"_s << u"rfc2217 fe80::1 4001"_s;
        const auto wrong = [](const QString& what) -> QString { return what + u"; write rfc2217://HOST:PORT or socket://HOST:PORT"_s; };
        QTest::newRow("no port") << u"rfc2217://10.0.0.5"_s << wrong(u"no port"_s);
        QTest::newRow("port 0") << u"socket://10.0.0.5:0"_s << wrong(u"port \"0\" is not a number from 1 to 65535"_s);
        QTest::newRow("port too big") << u"socket://h:70000"_s
                                      << wrong(u"port \"70000\" is not a number from 1 to 65535"_s);
        QTest::newRow("a path after it") << u"rfc2217://h:4001/x"_s
                                         << wrong(u"port \"4001/x\" is not a number from 1 to 65535"_s);
        QTest::newRow("another kind") << u"telnet://h:23"_s << wrong(u"unknown kind of address \"telnet://\""_s);
        QTest::newRow("no host") << u"rfc2217://:4001"_s << wrong(u"no host"_s);
        const QString unprintable = wrong(u"a space, a line break or another character no address has"_s);
        QTest::newRow("a space") << u"rfc2217://10.0.0 .5:4001"_s << unprintable;
        QTest::newRow("a line break at the end") << u"rfc2217://127.0.0.1:4001\n"_s << unprintable;
        QTest::newRow("a space before") << u" rfc2217://127.0.0.1:4001"_s << unprintable;
        QTest::newRow("no IPv4 address") << u"rfc2217://999.1.1.1:4001"_s
                                         << wrong(u"\"999.1.1.1\" is not a host name or an IPv4 address"_s);
        QTest::newRow("IPv6 too short") << u"rfc2217://[1:2:3]:4001"_s << wrong(u"\"1:2:3\" is not an IPv6 address"_s);
        QTest::newRow("IPv6 of colons") << u"rfc2217://[:::::]:4001"_s << wrong(u"\":::::\" is not an IPv6 address"_s);
    }

    void addressesAreCheckedBeforeAnythingIsSent()
    {
        QFETCH(QString, name);
        QFETCH(QString, parsed);
        QString error;
        const std::optional<NetworkAddress> address = ParseNetworkAddress(name, &error);
        const QString got = address ? u"%1 %2 %3"_s.arg(address->kind == NetworkAddress::Kind::Rfc2217 ? u"rfc2217"_s
                                                                                                        : u"socket"_s,
                                                          address->strHost)
                                          .arg(address->nPort)
                                    : error;
        QCOMPARE(got, parsed);
        if (!address) { // the command line refuses it as bad usage, naming it
            const Run run = RunCli({u"--port"_s, name, u"read"_s});
            QCOMPARE(run.nExitCode, 2);
            QVERIFY2(run.strErr.startsWith(u"orvane-cli: %1: %2\n"_s.arg(name, error)), qPrintable(run.strErr));
        }
        QVERIFY(!ParseNetworkAddress(u"/dev/ttyUSB0"_s, &error)); // a device is no address
    }

    // The rate goes to the server, which sets it on the camera's line: the
    // camera hears only 19200 baud, though the server's own setting is 115200.
    void readApplyAndScanThroughRfc2217AtTheRateSet()
    {
        CameraFixture camera({}, {}, OwnRate(19200));
        DeviceServer server(Port(camera), DeviceServer::Kind::Rfc2217);
        REQUIRE_SERVER(server);
        const Run read = RunCli({u"--port"_s, server.Address(), u"--baud"_s, u"19200"_s, u"read"_s});
        QVERIFY2(read.nExitCode == 0, qPrintable(read.strErr));
        QVERIFY(read.strOut.contains(u"software_version        V1.3\n"_s));
        QTemporaryDir dir;
        const QString settings = WriteFile(dir, u"s.json"_s, R"({"format": 1, "brightness": 70})");
        const Run apply = RunCli({u"--port"_s, server.Address(), u"--baud"_s, u"19200"_s, u"apply"_s, settings});
        QVERIFY2(apply.nExitCode == 0, qPrintable(apply.strErr));
        QCOMPARE(camera.Camera().Register(0x12), 70);
        QCOMPARE(RatesHeard(camera.Camera()), std::vector<int>{19200});

        const Run scan = RunCli({u"--port"_s, server.Address(), u"scan"_s});
        QVERIFY2(scan.strOut == u"%1: camera at 19200 baud, software V1.3, hardware V1.2\n"_s.arg(server.Address()),
                 qPrintable(scan.strOut + scan.strErr));
    }

    // A bench of cameras, two behind device servers and one on this
    // machine: each is upgraded, restarted, verified and set up at once.
    void provisionMixesNetworkAndLocalPorts()
    {
        std::vector<std::unique_ptr<CameraFixture>> cameras;
        for (int i = 0; i < 3; ++i)
            cameras.push_back(std::make_unique<CameraFixture>(CameraFaults{}, QuickCamera(0)));
        DeviceServer first(Port(*cameras[0]), DeviceServer::Kind::Rfc2217);
        DeviceServer second(Port(*cameras[1]), DeviceServer::Kind::Rfc2217);
        REQUIRE_SERVER(first);
        REQUIRE_SERVER(second);
        QTemporaryDir dir;
        QByteArray image = "cam_V1.4.elf.flash\n"; // the simulator runs the version its image names
        image += QByteArray(4000, char(0xFF));
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", image}});
        const QString settings = WriteFile(dir, u"site.json"_s, R"({"format": 1, "brightness": 70})");
        const Run run = RunCli({u"provision"_s, u"--port"_s, first.Address(), u"--port"_s, second.Address(), u"--port"_s,
                                Port(*cameras[2]), u"--upgrade"_s, package, u"--apply"_s, settings},
                               120000);
        QVERIFY2(run.nExitCode == 0, qPrintable(run.strOut + run.strErr));
        QVERIFY2(run.strOut.contains(u"3 of 3 camera(s) provisioned"_s), qPrintable(run.strOut));
        for (const auto& camera : cameras) {
            QCOMPARE(QByteArray::fromStdString(camera->Camera().Images().at(0).bytes), image);
            QCOMPARE(camera->Camera().Register(0x12), 70);
        }
    }

    // A 240 ms round trip, longer than a read's answer wait on the line
    // (153 ms at 115200): every wait counts it on top, so an apply's read,
    // writes and read-back shift no value and fail nothing.
    void aSlowNetworkShiftsNoValue()
    {
        CameraFixture camera;
        DeviceServer server(Port(camera), DeviceServer::Kind::Rfc2217);
        REQUIRE_SERVER(server);
        const DelayRelay relay(server.Port(), 240);
        const QString address = u"rfc2217://127.0.0.1:%1"_s.arg(relay.Port());
        camera.Camera().SetRegister(0x13, 44); // contrast: a value next to brightness's
        QTemporaryDir dir;
        const QString trace = dir.filePath(u"line.log"_s);
        const QString settings = WriteFile(dir, u"s.json"_s, R"({"format": 1, "brightness": 70})");
        const Run apply = RunCli({u"--port"_s, address, u"--trace"_s, trace, u"apply"_s, settings}, 120000);
        QVERIFY2(apply.nExitCode == 0, qPrintable(apply.strErr));
        const Run read = RunCli({u"--port"_s, address, u"read"_s, u"--json"_s}, 120000);
        QVERIFY2(read.nExitCode == 0, qPrintable(read.strErr));
        QVERIFY2(read.strOut.contains(u"\"brightness\": 70"_s) && read.strOut.contains(u"\"contrast\": 44"_s),
                 qPrintable(read.strOut));
        QFile log(trace);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString opened = QString::fromUtf8(log.readLine());
        static const QRegularExpression roundTrip(u"round trip (\\d+) ms"_s);
        const QRegularExpressionMatch measured = roundTrip.match(opened);
        QVERIFY2(measured.hasMatch() && measured.captured(1).toInt() >= 240, qPrintable(opened));
    }

    // The search over a slow network: each rate's answer may take the
    // round trip on top, and a late answer is never credited to the next rate.
    void aSearchOverASlowNetworkFindsTheRate()
    {
        CameraFixture camera({}, {}, OwnRate(2400));
        DeviceServer server(Port(camera), DeviceServer::Kind::Rfc2217);
        REQUIRE_SERVER(server);
        const DelayRelay relay(server.Port(), 240);
        const QString address = u"rfc2217://127.0.0.1:%1"_s.arg(relay.Port());
        const Run scan = RunCli({u"--port"_s, address, u"scan"_s}, 120000);
        QVERIFY2(scan.strOut == u"%1: camera at 2400 baud, software V1.3, hardware V1.2\n"_s.arg(address),
                 qPrintable(scan.strOut + scan.strErr));
    }

    // Bytes pass as they are at the server's rate; no rate is searched.
    void aRawTcpPortKeepsTheServersRate()
    {
        CameraFixture camera({}, {}, OwnRate(19200));
        DeviceServer server(Port(camera), DeviceServer::Kind::RawTcp, 19200);
        REQUIRE_SERVER(server);
        const Run read = RunCli({u"--port"_s, server.Address(), u"--baud"_s, u"19200"_s, u"read"_s});
        QVERIFY2(read.nExitCode == 0, qPrintable(read.strErr));
        const Run found = RunCli({u"--port"_s, server.Address(), u"--baud"_s, u"19200"_s, u"scan"_s});
        QCOMPARE(found.strOut, u"%1: camera at the device server's rate (19200 baud given), software V1.3, hardware "
                               "V1.2\n"_s.arg(server.Address()));
        DeviceServer wrong(Port(camera), DeviceServer::Kind::RawTcp, 9600);
        REQUIRE_SERVER(wrong);
        const Run scan = RunCli({u"--port"_s, wrong.Address(), u"scan"_s});
        QCOMPARE(scan.nExitCode, 1);
        QVERIFY2(scan.strOut.startsWith(u"%1: nothing answered at 115200 baud, the only rate tried: the device server "
                                        "sets the rate of a socket:// port"_s.arg(wrong.Address())),
                 qPrintable(scan.strOut));
        QCOMPARE(RatesHeard(camera.Camera()), (std::vector<int>{19200, 9600}));

        // In the window the rate chosen for such a port only times the waits, and it says so.
        DialogBench bench;
        bench.camera.WriteConfig(u"COM2=%1\n"_s.arg(server.Address()));
        CMyCorvixDlg& dialog = *bench.dialog;
        qobject_cast<QComboBox*>(dialog.GetDlgItem(1007))->setCurrentIndex(1);
        dialog.OnPortChange(1);
        dialog.OnSettingChange(1008, 6); // 19200
        QCOMPARE(Text(dialog, 1072), u"%1 的波特率等串口参数由串口服务器设定；此处所选只用于计算等待时间"_s.arg(server.Address()));
        dialog.OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return dialog.Host().ConfigRead(); }, 20000));
        QVERIFY(bench.boxes.Boxes().isEmpty());
    }

    // Telnet's escape byte is data too: an image of 0xFF bytes, and of the
    // byte pairs that would be commands, arrives as it was.
    void anImageFullOf0xFFArrivesByteForByte()
    {
        CameraFixture camera({}, QuickCamera(50));
        DeviceServer server(Port(camera), DeviceServer::Kind::Rfc2217);
        REQUIRE_SERVER(server);
        QByteArray elf(3000, char(0xFF));
        for (int i = 0; i < elf.size(); i += 7)
            elf[i] = char(i % 3 == 0 ? kSe : i % 3 == 1 ? kSb : kDo);
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", elf}});
        const Run run = RunCli({u"--port"_s, server.Address(), u"upgrade"_s, u"--no-restart"_s, package}, 120000);
        QVERIFY2(run.nExitCode == 0, qPrintable(run.strErr));
        QCOMPARE(camera.Camera().Images().size(), std::size_t(1));
        QCOMPARE(QByteArray::fromStdString(camera.Camera().Images()[0].bytes), elf);
    }

    // Servers as they misbehave: a notification ahead of the answers and a
    // rate set otherwise; a close a while after the connect; a raw port
    // that another client holds; and a silent one that Ctrl-C leaves at once.
    void serversThatMisbehave()
    {
        // ser2net sends a modem-state notification first; it answers nothing.
        const QByteArray answers = Bytes({kIac, kSb, 44, 107, 0, kIac, kSe})
            + Bytes({kIac, kSb, 44, 101}) + CTelnetCodec::BaudRate(9600)
            + Bytes({kIac, kSe, kIac, kSb, 44, 102, 8, kIac, kSe, kIac, kSb, 44, 103, 1, kIac, kSe, kIac, kSb, 44, 104, 1,
                     kIac, kSe});
        const ScriptedServer lying(Bytes({kIac, kDo, 44}), answers);
        const Run lied = RunCli({u"--port"_s, lying.Address(), u"read"_s}, 60000);
        QCOMPARE(lied.nExitCode, 1);
        // The read that fails then names the server's rate and the server as the next step.
        QVERIFY2(lied.strErr.contains(u"ms for each answer); %1 set the rate to 9600, not 115200\norvane-cli: next "
                                      "step: check that the device server is on"_s.arg(lying.Address())),
                 qPrintable(lied.strErr));
        {
            DialogBench bench;
            bench.camera.WriteConfig(u"COM2=%1\n"_s.arg(lying.Address()));
            qobject_cast<QComboBox*>(bench.dialog->GetDlgItem(1007))->setCurrentIndex(1);
            bench.dialog->OnPortChange(1);
            QVERIFY(WaitUntil([&] { return bench.boxes.Boxes().size() == 1; }, 10000)); // the probe met the rate
            bench.dialog->OnOpenClosePort();
            QVERIFY(WaitUntil([&] { return bench.boxes.Boxes().size() == 3; }, 30000)); // so did the open; the read failed
            QVERIFY2(bench.boxes.Boxes()[2].text.endsWith(u"%1 set the rate to 9600, not 115200\n下一步：请确认串口服务器"
                                                          "已开机、网络可达，且其端口设为 RFC 2217 的 telnet（rfc2217://）或"
                                                          "原始 TCP（socket://）。"_s.arg(lying.Address())),
                     qPrintable(bench.boxes.Boxes()[2].text));
        }

        const ScriptedServer closing(Bytes({kIac, kDo, 44}), QByteArray(), 1000);
        QElapsedTimer clock;
        clock.start();
        const Run closed = RunCli({u"--port"_s, closing.Address(), u"read"_s});
        QCOMPARE(closed.nExitCode, 1);
        QVERIFY2(closed.strErr.contains(u"the server closed the connection after"_s), qPrintable(closed.strErr));
        QVERIFY(clock.elapsed() < 3000); // not tried again as a turning away
        const ScriptedServer dropping(QByteArray(), QByteArray(), 0);
        const Run dropped = RunCli({u"--port"_s, dropping.Address(), u"read"_s});
        QCOMPARE(dropped.nExitCode, 1);
        QVERIFY2(dropped.strErr.startsWith(u"orvane-cli: cannot open %1: the server closed the connection at once\n"
                                           "orvane-cli: next step: check that the device server is on"_s
                                               .arg(dropping.Address())),
                 qPrintable(dropped.strErr));

        CameraFixture camera;
        DeviceServer raw(Port(camera), DeviceServer::Kind::RawTcp);
        REQUIRE_SERVER(raw);
        QTcpSocket holder;
        holder.connectToHost(QHostAddress::LocalHost, raw.Port());
        QVERIFY(holder.waitForConnected(5000));
        QTest::qWait(200);
        const Run held = RunCli({u"--port"_s, raw.Address(), u"read"_s});
        QCOMPARE(held.nExitCode, 1);
        QVERIFY2(held.strErr.startsWith(u"orvane-cli: cannot open %1: the server closed the connection at once, saying "
                                        "\"Port already in use\"\norvane-cli: next step: close the other program"_s
                                            .arg(raw.Address())),
                 qPrintable(held.strErr));

        const ScriptedServer silent{QByteArray(), QByteArray()};
        QProcess process;
        process.start(QStringLiteral(ORVANE_CLI), {u"--port"_s, silent.Address(), u"read"_s});
        QVERIFY(process.waitForStarted());
        QTest::qWait(500);
        ::kill(pid_t(process.processId()), SIGINT);
        clock.restart();
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 5000));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains(u": interrupted"_s));
    }

    // A name server that does not answer holds no one: Ctrl-C ends the
    // lookup of a server's name at once (the system's lookup would hold on
    // for about 10 s). Run in a network namespace of its own, whose name
    // server takes every question and answers none.
    void aNameLookupThatHangsIsInterrupted()
    {
        QTemporaryDir dir;
        const QString resolver = WriteFile(dir, u"resolv.conf"_s, "nameserver 127.0.0.1\n");
        const QString silent = WriteFile(dir, u"silent.py"_s,
                                         "import socket\ns = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
                                         "s.bind(('127.0.0.1', 53))\nprint('ready', flush=True)\nwhile True:\n    s.recvfrom(512)\n");
        const QString script =
            u"ip link set lo up && mount --bind %1 /etc/resolv.conf || exit 77\n"
            "python3 %2 > %4 & D=$!\nwhile [ ! -s %4 ]; do sleep 0.05; done\n"
            "%3 --port rfc2217://cabinet-7.example:4001 read & P=$!; sleep 0.5\n"
            "kill -INT $P; wait $P; E=$?; kill $D; exit $E\n"_s.arg(resolver, silent, QStringLiteral(ORVANE_CLI),
                                                                  dir.filePath(u"ready"_s));
        QProcess process;
        process.start(u"timeout"_s, {u"60"_s, u"unshare"_s, u"-rmn"_s, u"sh"_s, u"-c"_s, script});
        QVERIFY(process.waitForFinished(70000));
        if (process.exitCode() == 77)
            QSKIP("no network namespace of its own here (unshare -rmn)");
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(err.startsWith(u"orvane-cli: cannot open rfc2217://cabinet-7.example:4001: interrupted\n"_s), qPrintable(err));
    }

    // A server that keeps its own rate is named once, not at every rate a
    // search asks for; the command line's search says those rates were not tried.
    void aServerThatKeepsItsRateIsNamedOnce()
    {
        const FixedRateServer fixed(9600);
        const Run scan = RunCli({u"--port"_s, fixed.Address(), u"scan"_s}, 120000);
        QVERIFY2(scan.nExitCode == 1, qPrintable(scan.strErr));
        QVERIFY2(scan.strOut.startsWith(u"%1: nothing answered, and the rates were not the ones asked: %1 set the rate "
                                        "to 9600, not 115200; check the device server's settings"_s.arg(fixed.Address())),
                 qPrintable(scan.strOut));
        QVERIFY2(!scan.strOut.contains(u"check the wiring"_s), qPrintable(scan.strOut));

        DialogBench bench;
        bench.camera.WriteConfig(u"COM2=%1\n"_s.arg(fixed.Address()));
        CMyCorvixDlg& dialog = *bench.dialog;
        qobject_cast<QComboBox*>(dialog.GetDlgItem(1007))->setCurrentIndex(1);
        dialog.OnPortChange(1);
        QVERIFY(WaitUntil([&] { return bench.boxes.Boxes().size() == 1; })); // the probe met the rate
        dialog.OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return bench.boxes.Boxes().size() == 3; }, 30000)); // the open, then the read failed
        QCOMPARE(bench.boxes.Boxes()[1].text.startsWith(u"WARNING:  RFC 2217 "_s), true);
        dialog.FindCameraOnPort(); // twelve rates asked, none set
        QVERIFY(WaitUntil([&] { return dialog.Scan().Running(); }));
        QVERIFY(WaitUntil([&] { return !dialog.Scan().Running(); }, 120000));
        const auto told = std::count_if(bench.boxes.Boxes().begin(), bench.boxes.Boxes().end(),
                                        [](const auto& box) { return box.caption == u"Application Error"_s; });
        QCOMPARE(told, 2); // the probe's and the open's
    }

    // A server that is not there, or not one for RFC 2217, is named with
    // the next step at once; one that goes away mid-read is a lost line.
    void serversThatRefuseOrGoAway()
    {
        const QString nextStep = u"orvane-cli: next step: check that the device server is on and reachable from here"_s;
        const QString refused = u"rfc2217://127.0.0.1:%1"_s.arg(FreeLocalPort());
        const Run nobody = RunCli({u"--port"_s, refused, u"read"_s});
        QCOMPARE(nobody.nExitCode, 1);
        QVERIFY2(nobody.strErr.startsWith(u"orvane-cli: cannot open %1: Connection refused\n%2"_s.arg(refused, nextStep)),
                 qPrintable(nobody.strErr));

        CameraFixture camera({}, {}, OwnRate(1200));
        DeviceServer raw(Port(camera), DeviceServer::Kind::RawTcp, 1200);
        REQUIRE_SERVER(raw);
        const QString notTelnet = raw.Address().replace(u"socket"_s, u"rfc2217"_s);
        const Run wrongKind = RunCli({u"--port"_s, notTelnet, u"read"_s});
        QCOMPARE(wrongKind.nExitCode, 1);
        QVERIFY2(wrongKind.strErr.startsWith(u"orvane-cli: cannot open %1: the server did not answer the line "
                                             "settings within 3 s\n%2"_s.arg(notTelnet, nextStep)),
                 qPrintable(wrongKind.strErr));

        // At 1200 baud the 23 reads take seconds: the server goes in the middle.
        DeviceServer server(Port(camera), DeviceServer::Kind::Rfc2217);
        REQUIRE_SERVER(server);
        const std::size_t before = camera.Camera().Received().size();
        QProcess process;
        process.start(QStringLiteral(ORVANE_CLI), {u"--port"_s, server.Address(), u"--baud"_s, u"1200"_s, u"read"_s});
        QVERIFY(WaitUntil([&] { return camera.Camera().Received().size() > before + 40; }, 20000));
        server.Kill();
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 1);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.contains(u"during the read"_s) && err.contains(nextStep), qPrintable(err));
    }

    // A COMn that config.ini maps to a server's port is a port like any
    // other to the window: it opens, reads and saves, under its COMn name.
    void theWindowReadsAndSavesThroughAMappedComPort()
    {
        DialogBench bench;
        DeviceServer server(bench.camera.Device(), DeviceServer::Kind::Rfc2217);
        REQUIRE_SERVER(server);
        bench.camera.WriteConfig(u"COM2=%1\n"_s.arg(server.Address()));
        CMyCorvixDlg& dialog = *bench.dialog;
        qobject_cast<QComboBox*>(dialog.GetDlgItem(1007))->setCurrentIndex(1);
        dialog.OnPortChange(1);
        dialog.OnSettingChange(1008, 6); // 19200, set through the server
        dialog.OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return dialog.Host().ConfigRead(); }, 20000));
        QCOMPARE(Text(dialog, 1033), u"COM2,打开,19200,N,8,1"_s);
        dialog.PagePara().Item<QLineEdit>(1002)->setText(u"66"_s);
        dialog.PagePara().OnSave();
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Register(0x12) == 66 && !dialog.Host().WritesPending(); },
                          20000));
        QVERIFY(WaitUntil([&] { return dialog.Host().ConfigRead(); }, 20000)); // read back
        QCOMPARE(RatesHeard(bench.camera.Camera()), std::vector<int>{19200});
        QVERIFY(bench.boxes.Boxes().isEmpty());
    }

    // A server that goes away is a lost port, with the server as the next
    // step; once it answers again the window reopens and reads by itself.
    void theWindowReconnectsWhenTheServerIsBack()
    {
        DialogBench bench;
        std::optional<DeviceServer> server(std::in_place, bench.camera.Device(), DeviceServer::Kind::Rfc2217);
        REQUIRE_SERVER(*server);
        const quint16 port = server->Port();
        bench.camera.WriteConfig(u"COM2=%1\n"_s.arg(server->Address()));
        CMyCorvixDlg& dialog = *bench.dialog;
        qobject_cast<QComboBox*>(dialog.GetDlgItem(1007))->setCurrentIndex(1);
        dialog.OnPortChange(1);
        dialog.OnOpenClosePort();
        QVERIFY2(WaitUntil([&] { return dialog.Host().ConfigRead(); }, 20000), qPrintable(bench.boxes.Boxes().value(0).text));
        server.reset(); // switched off
        QVERIFY(WaitUntil([&] { return !dialog.Host().PortOpen(); }, 10000));
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 10000));
        QVERIFY2(bench.boxes.Boxes()[0].text.endsWith(u"下一步：请确认串口服务器已开机、网络可达，且其端口设为 RFC 2217 的 "
                                                      "telnet（rfc2217://）或原始 TCP（socket://）。"_s),
                 qPrintable(bench.boxes.Boxes()[0].text));
        server.emplace(bench.camera.Device(), DeviceServer::Kind::Rfc2217, 115200, port);
        REQUIRE_SERVER(*server);
        QVERIFY(WaitUntil([&] { return dialog.Host().ConfigRead(); }, 20000));
        QCOMPARE(Text(dialog, 1033), u"COM2,打开,115200,N,8,1（设备已重新连接）"_s);
    }

    // A server's port typed in the window joins the list for good; an
    // address that does not parse is refused, naming what is wrong.
    void aServersPortTypedInTheWindowJoinsTheList()
    {
        DialogBench bench;
        DeviceServer server(bench.camera.Device(), DeviceServer::Kind::Rfc2217);
        REQUIRE_SERVER(server);
        {
            const TypedAnswer typed(u"rfc2217://127.0.0.1"_s);
            bench.dialog->Ports().AddNetworkPort();
        }
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text,
                 u"rfc2217://127.0.0.1: no port; write rfc2217://HOST:PORT or socket://HOST:PORT"_s);
        {
            const TypedAnswer typed(u"/dev/ttyS0"_s);
            bench.dialog->Ports().AddNetworkPort();
        }
        QCOMPARE(bench.boxes.Boxes().value(1).text,
                 u"/dev/ttyS0 不是串口服务器的地址，请写成 rfc2217://主机:端口 或 socket://主机:端口"_s);
        {
            const TypedAnswer typed(server.Address());
            bench.dialog->Ports().AddNetworkPort();
        }
        QCOMPARE(Text(*bench.dialog, 1007), server.Address());
        QVERIFY(WaitUntil([&] { return Text(*bench.dialog, 1033) == u"%1 关闭,115200,N,8,1"_s.arg(server.Address()); }));
        bench.dialog->OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return bench.dialog->Host().ConfigRead(); }, 20000));

        bench.dialog = std::make_unique<CMyCorvixDlg>(); // started again: the address is offered and chosen
        QCOMPARE(Text(*bench.dialog, 1007), server.Address());
        QCOMPARE(bench.boxes.Boxes().size(), 2);
    }

    // A search of several ports goes on while a server has not answered:
    // the camera on this machine is found first, the silent server named after.
    void aSearchWaitsForNoServer()
    {
        CameraFixture camera;
        const ScriptedServer silent{QByteArray(), QByteArray()};
        CPortsScan scan;
        std::vector<PortScanResult> results;
        scan.Start({{silent.Address(), silent.Address()}, {camera.Device(), camera.Device()}}, 115200,
                   {.portDone = [&](const PortScanResult& result) { results.push_back(result); }});
        QVERIFY(WaitUntil([&] { return !scan.Running(); }, 20000));
        QCOMPARE(results.size(), std::size_t(2));
        QCOMPARE(results[0].port.strDevice, camera.Device());
        QVERIFY(results[0].finding);
        QVERIFY(results[1].openError);
        QCOMPARE(results[1].openError->strSystemText, u"the server did not answer the line settings within 3 s"_s);
    }

    // The window's search takes the port from a connect still running and
    // from a reconnect to a server that went: neither opens it behind the search.
    void theSearchTakesThePortFromAConnectAndAReconnect()
    {
        SKIP_SHOWN_WINDOW_UNDER_TSAN();
        DialogBench bench;
        CameraFixture remote;
        const ScriptedServer silent{QByteArray(), QByteArray()};
        std::optional<DeviceServer> server(std::in_place, remote.Device(), DeviceServer::Kind::Rfc2217);
        REQUIRE_SERVER(*server);
        bench.camera.WriteConfig(u"COM2=%1\nCOM4=%2\n"_s.arg(silent.Address(), server->Address()));
        CMyCorvixDlg& dialog = *bench.dialog;
        const auto searchAndCancel = [&] {
            QTimer::singleShot(0, &dialog, [&] {
                if (auto* search = dialog.findChild<CFindCameraDlg*>())
                    search->reject();
            });
            dialog.OpenFindCameraDialog();
        };
        qobject_cast<QComboBox*>(dialog.GetDlgItem(1007))->setCurrentIndex(1);
        dialog.OnPortChange(1);
        dialog.OnOpenClosePort(); // connecting to the silent one
        QCOMPARE(Text(dialog, 1016), u"关闭串口"_s);
        searchAndCancel();
        QCOMPARE(Text(dialog, 1016), u"打开串口"_s);
        QCOMPARE(Text(dialog, 1033), u"端口已关闭"_s);

        qobject_cast<QComboBox*>(dialog.GetDlgItem(1007))->setCurrentIndex(3);
        dialog.OnPortChange(3);
        dialog.OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return dialog.Host().ConfigRead(); }, 20000));
        server.reset();
        QVERIFY(WaitUntil([&] { return dialog.Ports().Watching() && !bench.boxes.Boxes().isEmpty(); }, 10000));
        searchAndCancel();
        QVERIFY(!dialog.Ports().Watching());
    }

    // A connect to a server and the wait for its answers run off the
    // window's thread: the window keeps turning, the button gives an
    // opening up, and closing the window does not wait the server out.
    void theWindowNeverWaitsOnTheNetwork()
    {
        DialogBench bench;
        const ScriptedServer silent{QByteArray(), QByteArray()};
        bench.camera.WriteConfig(u"COM2=%1\n"_s.arg(silent.Address()));
        CMyCorvixDlg& dialog = *bench.dialog;
        const EventLoopTurns turns;
        const std::int64_t began = SteadyNowNs();
        qobject_cast<QComboBox*>(dialog.GetDlgItem(1007))->setCurrentIndex(1);
        dialog.OnPortChange(1);
        QCOMPARE(Text(dialog, 1033), u"正在连接串口服务器 %1..."_s.arg(silent.Address()));
        QCOMPARE(Text(dialog, 1016), u"打开串口"_s);
        dialog.OnOpenClosePort();
        QCOMPARE(Text(dialog, 1016), u"关闭串口"_s);
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 10000));
        QVERIFY(turns.Between(began, SteadyNowNs()) > 20); // the 3 s wait for the server's answers
        const QString box = bench.boxes.Boxes()[0].text;
        QVERIFY2(box.contains(u"the server did not answer the line settings within 3 s"_s)
                     && box.contains(u"下一步：请确认串口服务器已开机"_s),
                 qPrintable(box));
        QCOMPARE(Text(dialog, 1016), u"打开串口"_s);
        QVERIFY(!dialog.Host().PortOpen());

        dialog.OnOpenClosePort();
        dialog.OnOpenClosePort(); // given up
        QCOMPARE(Text(dialog, 1016), u"打开串口"_s);
        QCOMPARE(Text(dialog, 1033), u"端口已关闭"_s);
        dialog.OnOpenClosePort();
        QElapsedTimer closing;
        closing.start();
        bench.dialog.reset();
        QVERIFY2(closing.elapsed() < 1000, qPrintable(QString::number(closing.elapsed())));
        QCOMPARE(bench.boxes.Boxes().size(), 1); // nothing from the openings given up
    }
};

QTEST_MAIN(TestNetworkLine)
#include "tst_network_line.moc"
