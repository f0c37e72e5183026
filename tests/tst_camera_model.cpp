#include "core/protocol/checksum.h"
#include "sim/camera_model.h"
#include "sim/camsim_options.h"
#include "sim/pty_camera.h"

#include <QTest>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Feeds text at one instant, then lets `laterMs` pass, and returns what the camera sent.
std::string Exchange(CameraModel& camera, const std::string& text, std::int64_t nowMs, std::int64_t laterMs = 0)
{
    for (const char ch : text)
        camera.Receive(static_cast<unsigned char>(ch), nowMs);
    camera.Tick(nowMs + laterMs);
    std::string out;
    for (const CameraModel::Output& output : camera.TakeOutput())
        out += output.bytes;
    return out;
}

std::string Header(int type, int checksum, std::uint32_t length)
{
    const char bytes[7] = {static_cast<char>(type), static_cast<char>(checksum >> 8), static_cast<char>(checksum),
                           static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                           static_cast<char>(length >> 8), static_cast<char>(length)};
    return std::string(bytes, 7);
}

// Restarts the camera at t = 0 and requests the upgrade once it is listening.
std::string EnterUpgrade(CameraModel& camera)
{
    Exchange(camera, "w 00 FFFF\r\nw 01 FFFF\r\n", 0);
    return Exchange(camera, "*****", 2000);
}

// The host's end of a camera's terminal, raw.
class HostEnd {
public:
    explicit HostEnd(const std::string& device) : m_fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    ~HostEnd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    HostEnd(const HostEnd&) = delete;
    HostEnd& operator=(const HostEnd&) = delete;

    bool SetRate(speed_t rate) const
    {
        termios settings {};
        if (m_fd < 0 || ::tcgetattr(m_fd, &settings) != 0)
            return false;
        ::cfmakeraw(&settings);
        ::cfsetspeed(&settings, rate);
        return ::tcsetattr(m_fd, TCSANOW, &settings) == 0;
    }
    bool Send(const std::string& bytes) const
    {
        return ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

private:
    int m_fd;
};

const std::string kRead1F = "r 001F \r\n"; // answered "00"
const std::string kRead00 = "r 0000 \r\n"; // answered "12"

} // namespace

class TestCameraModel : public QObject {
    Q_OBJECT

private slots:
    void answersReadsWithTwoHexDigits()
    {
        CameraModel camera;
        QCOMPARE(Exchange(camera, "r 001F \r\n", 0), std::string("00\r\n"));
        QCOMPARE(Exchange(camera, "r 0000 \r\n", 0), std::string("12\r\n"));
        QCOMPARE(Exchange(camera, "r 000E \r\n", 0), std::string("65\r\n"));
        QCOMPARE(Exchange(camera, "r 1234 \r\n", 0), std::string("00\r\n"));
    }

    void storesWritesAndIgnoresNoise()
    {
        CameraModel camera;
        QCOMPARE(Exchange(camera, "w 7F 0012\r\n", 0), std::string());
        QCOMPARE(camera.Register(0x12), 0x7F);
        QCOMPARE(Exchange(camera, "r 0012 \r\n", 0), std::string("7F\r\n"));
        QCOMPARE(Exchange(camera, "garbage\r\nw 1 12\r\nr 12 \r\n", 0), std::string());
        QCOMPARE(camera.Register(0x12), 0x7F);
    }

    // The simulator used to parse with strtol and take what no camera would.
    void acceptsOnlyTheExactCommandFormats_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("0x prefix") << QByteArray("r 0x1F \r\n");
        QTest::newRow("plus sign") << QByteArray("r +01F \r\n");
        QTest::newRow("minus sign") << QByteArray("r -001 \r\n");
        QTest::newRow("lower-case digits") << QByteArray("r 001f \r\n");
        QTest::newRow("no blank before CR") << QByteArray("r 001F\r\n");
        QTest::newRow("LF without CR") << QByteArray("r 001F \n");
        QTest::newRow("two blanks") << QByteArray("r  001F \r\n");
        QTest::newRow("negative write value") << QByteArray("w -1 0012\r\n");
        QTest::newRow("write with a trailing blank") << QByteArray("w 05 0012 \r\n");
        QTest::newRow("short write address") << QByteArray("w 05 012\r\n");
    }

    void acceptsOnlyTheExactCommandFormats()
    {
        QFETCH(QByteArray, command);
        CameraModel camera;
        QCOMPARE(Exchange(camera, command.toStdString(), 0), std::string());
        QCOMPARE(camera.Register(0x12), 0x32); // the power-on value
        QCOMPARE(camera.Register(0xFF), 0x00);
        // The line after the rejected one is understood.
        QCOMPARE(Exchange(camera, "r 0012 \r\n", 0), std::string("32\r\n"));
    }

    void restartSilencesTheCamera()
    {
        CameraTiming timing;
        timing.nRestartSilenceMs = 1000;
        CameraModel camera({}, timing);
        Exchange(camera, "w 01 FFFF\r\n", 0);
        QCOMPARE(camera.RestartCount(), 0); // 1 without the 0 before it does nothing
        Exchange(camera, "w 00 FFFF\r\nw 01 FFFF\r\n", 0);
        QCOMPARE(camera.RestartCount(), 1);
        QCOMPARE(Exchange(camera, "r 001F \r\n", 500), std::string());
        QCOMPARE(Exchange(camera, "r 001F \r\n", 1001), std::string("00\r\n"));
        // Outside the upgrade window a request goes unanswered.
        QCOMPARE(Exchange(camera, "*****", 1000 + timing.nUpgradeWindowMs + 1), std::string());
    }

    void acceptsAFullUpgrade()
    {
        CameraModel camera;
        QCOMPARE(EnterUpgrade(camera), std::string("A"));
        std::string image(250, '\0');
        for (std::size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>(i * 7);
        std::string out = Exchange(camera, "***U" + Header(2, ComputeChecksum(image), 250) + image, 2100);
        QCOMPARE(out, std::string("S"));
        out = Exchange(camera, "", 2100, 1000);
        QCOMPARE(out, std::string("D"));
        QVERIFY(camera.InUpgrade());
        Exchange(camera, "R", 3200);
        QVERIFY(!camera.InUpgrade());
        QCOMPARE(Exchange(camera, "r 0001 \r\n", 3300), std::string("13\r\n"));

        QCOMPARE(camera.Images().size(), 1u);
        const ReceivedImage& received = camera.Images().front();
        QCOMPARE(received.nType, 2);
        QCOMPARE(received.nLength, 250u);
        QCOMPARE(received.bytes, image);
        QCOMPARE(received.strVerdict, std::string("D"));
    }

    void runsTheFlashedVersionAfterTheNextRestart_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("leadingName");
        QTest::addColumn<bool>("keepVersion");
        QTest::addColumn<int>("hardwareAfter");
        QTest::addColumn<int>("softwareAfter");
        QTest::newRow("elf") << 1 << QByteArray("cam_V2.7.elf.flash\n") << false << 0x12 << 0x27;
        QTest::newRow("sof") << 2 << QByteArray("board_v1.15.sof.flash") << false << 0x1F << 0x13;
        QTest::newRow("kept old version") << 1 << QByteArray("cam_V2.7.elf.flash\n") << true << 0x12 << 0x13;
        QTest::newRow("font carries none") << 3 << QByteArray("cn_V2.7.font.flash\n") << false << 0x12 << 0x13;
        QTest::newRow("no version in the name") << 1 << QByteArray("cam.elf.flash\n") << false << 0x12 << 0x13;
    }

    void runsTheFlashedVersionAfterTheNextRestart()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, leadingName);
        QFETCH(bool, keepVersion);
        CameraFaults faults;
        faults.bKeepVersion = keepVersion;
        CameraModel camera(faults);
        QCOMPARE(EnterUpgrade(camera), std::string("A"));
        const std::string image = leadingName.toStdString() + std::string("\0firmware", 9);
        const auto length = static_cast<std::uint32_t>(image.size());
        Exchange(camera, "U" + Header(type, ComputeChecksum(image), length) + image, 2100, 1000);
        Exchange(camera, "R", 3200);
        QCOMPARE(Exchange(camera, "r 0001 \r\n", 3300), std::string("13\r\n")); // still the old one until restarted
        Exchange(camera, "w 00 FFFF\r\nw 01 FFFF\r\n", 4000);
        QFETCH(int, hardwareAfter);
        QFETCH(int, softwareAfter);
        QCOMPARE(int(camera.Register(0x00)), hardwareAfter);
        QCOMPARE(int(camera.Register(0x01)), softwareAfter);
    }

    void reportsBadImages_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("checksumDelta");
        QTest::addColumn<QString>("forcedError");
        QTest::addColumn<QString>("report");
        QTest::newRow("checksum") << 1 << 1 << QString() << QStringLiteral("E001");
        QTest::newRow("type") << 9 << 0 << QString() << QStringLiteral("E004");
        QTest::newRow("forced flash error") << 3 << 0 << QStringLiteral("E002") << QStringLiteral("E002");
    }

    void reportsBadImages()
    {
        QFETCH(int, type);
        QFETCH(int, checksumDelta);
        QFETCH(QString, forcedError);
        QFETCH(QString, report);
        CameraFaults faults;
        faults.strUpgradeError = forcedError.toStdString();
        CameraModel camera(faults);
        EnterUpgrade(camera);
        const std::string image = "abc";
        const std::string out =
            Exchange(camera, "U" + Header(type, ComputeChecksum(image) + checksumDelta, 3) + image, 2100, 1000);
        QCOMPARE(QString::fromStdString(out), QStringLiteral("S") + report);
    }

    void givesUpAStalledTransfer()
    {
        CameraModel camera;
        EnterUpgrade(camera);
        Exchange(camera, "U" + Header(1, 0, 100) + "only ten b", 2100);
        QCOMPARE(Exchange(camera, "", 2100, 5000), std::string("E003"));
        QCOMPARE(camera.Images().back().bytes.size(), 10u);
    }

    void injectsReplyFaults()
    {
        CameraFaults drop;
        drop.nDropEvery = 4;
        CameraModel dropping(drop);
        QCOMPARE(Exchange(dropping, "r 001F \r\nr 0000 \r\n", 0), std::string("00\r12\r"));

        CameraFaults extra;
        extra.nExtraEvery = 2;
        extra.nGarbleEvery = 3;
        CameraModel noisy(extra);
        QCOMPARE(Exchange(noisy, "r 0000 \r\n", 0), std::string("12x?\nx"));

        CameraFaults mute;
        mute.bMute = true;
        CameraModel muted(mute);
        QCOMPARE(Exchange(muted, "r 0000 \r\n", 0), std::string());

        // One register's answer, once or every time; the others are untouched.
        CameraFaults single;
        single.replyFaults = {{ReplyFault::Kind::DropChar, 0x00, true}, {ReplyFault::Kind::Garble, 0x01, false},
                              {ReplyFault::Kind::DropReply, 0x1F, false}};
        CameraModel faulty(single);
        QCOMPARE(Exchange(faulty, "r 0000 \r\nr 0000 \r\nr 0001 \r\nr 0001 \r\nr 001F \r\n", 0),
                 std::string("12\r12\r\n1?\r\n1?\r\n"));
    }

    // Broken firmware is mended only by a good image in the boot window of a power cycle.
    void brokenFirmwareTakesAnImageOnlyAfterAPowerCycle_data()
    {
        QTest::addColumn<int>("checksumDelta");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("good image mends it") << 0 << QStringLiteral("D");
        QTest::newRow("bad checksum leaves it broken") << 1 << QStringLiteral("E001");
    }

    void brokenFirmwareTakesAnImageOnlyAfterAPowerCycle()
    {
        QFETCH(int, checksumDelta);
        QFETCH(QString, verdict);
        const bool mended = verdict == QStringLiteral("D");
        CameraFaults faults;
        faults.bBrokenFirmware = true;
        CameraTiming timing;
        timing.nRestartSilenceMs = 1000;
        timing.nUpgradeWindowMs = 5000;
        CameraModel camera(faults, timing);

        // Never power-cycled: no read, no write, no restart, no upgrade request.
        QCOMPARE(Exchange(camera, kRead1F, 0), std::string());
        QCOMPARE(Exchange(camera, "w 7F 0012\r\nw 00 FFFF\r\nw 01 FFFF\r\n", 0), std::string());
        QCOMPARE(int(camera.Register(0x12)), 0x32);
        QCOMPARE(camera.RestartCount(), 0);
        QCOMPARE(Exchange(camera, "*****", 1500), std::string()); // where a restart's window would be
        QCOMPARE(Exchange(camera, "*****", 100'000), std::string());

        camera.PowerCycle(200'000);
        QCOMPARE(camera.PowerCycleCount(), 1);
        QCOMPARE(camera.RestartCount(), 0);
        QCOMPARE(Exchange(camera, "*****", 200'500), std::string()); // still booting
        QCOMPARE(Exchange(camera, "*****", 201'100), std::string("A"));
        const std::string image = std::string("cam_V2.7.elf.flash\n") + std::string("\0firmware", 9);
        const auto length = static_cast<std::uint32_t>(image.size());
        QCOMPARE(Exchange(camera, "U" + Header(1, ComputeChecksum(image) + checksumDelta, length) + image, 201'200, 1000),
                 "S" + verdict.toStdString());
        QCOMPARE(Exchange(camera, kRead1F, 202'300), std::string()); // not released yet
        Exchange(camera, "R", 202'400);
        QVERIFY(!camera.InUpgrade());

        QCOMPARE(Exchange(camera, kRead1F, 202'500), mended ? std::string("00\r\n") : std::string());
        Exchange(camera, "w 7F 0012\r\nw 00 FFFF\r\nw 01 FFFF\r\n", 202'600);
        QCOMPARE(int(camera.Register(0x12)), mended ? 0x7F : 0x32);
        QCOMPARE(camera.RestartCount(), mended ? 1 : 0);
        QCOMPARE(int(camera.Register(0x01)), mended ? 0x27 : 0x13);
        // The window of that power cycle is over, and a broken camera opens no other.
        QCOMPARE(Exchange(camera, "*****", 203'700), mended ? std::string("A") : std::string());
    }

    // A power cycle boots the camera as a restart does and loses what was under way.
    void powerCycleLosesWhatWasUnderWay()
    {
        CameraFaults faults;
        faults.nReplyDelayMs = 100;
        CameraTiming timing;
        timing.nRestartSilenceMs = 1000;
        CameraModel camera(faults, timing);
        Exchange(camera, "w 7F 0012\r\n", 0);
        for (const char ch : kRead1F)
            camera.Receive(static_cast<unsigned char>(ch), 10);
        camera.Receive('r', 10); // and a line begun
        camera.PowerCycle(20);
        QVERIFY(camera.TakeOutput().empty()); // the answer not yet sent is gone
        QCOMPARE(Exchange(camera, kRead1F, 500), std::string());
        QCOMPARE(Exchange(camera, kRead1F, 1100, 200), std::string("00\r\n"));
        QCOMPARE(int(camera.Register(0x12)), 0x7F);

        // An image cut off mid-flash is not run; the next boot window takes a new one.
        QCOMPARE(Exchange(camera, "*****", 1200), std::string("A"));
        const std::string image = std::string("cam_V2.7.elf.flash\n");
        QCOMPARE(Exchange(camera, "U" + Header(1, ComputeChecksum(image), 19) + image, 1300), std::string("S"));
        camera.PowerCycle(1400);
        QVERIFY(!camera.InUpgrade());
        QCOMPARE(int(camera.Register(0x01)), 0x13);
        QCOMPARE(Exchange(camera, "*****", 2500), std::string("A"));
        Exchange(camera, "U" + Header(1, ComputeChecksum(image), 19) + image, 2600, 1000);
        Exchange(camera, "R", 3700);
        camera.PowerCycle(3800); // runs the flashed version, as a restart would
        QCOMPARE(int(camera.Register(0x01)), 0x27);
        QCOMPARE(camera.PowerCycleCount(), 3);
        QCOMPARE(camera.RestartCount(), 0);
    }

    // A camera with a rate of its own makes nothing of a command sent at another.
    void ownRateIgnoresBytesAtAnotherRate()
    {
        PtyOptions options;
        options.nOwnRate = 9600;
        PtyCamera camera({}, {}, options);
        std::string error;
        QVERIFY2(camera.Start(&error), error.c_str());
        HostEnd host(camera.DevicePath());
        QVERIFY(host.SetRate(B115200));
        QVERIFY(host.Send(kRead1F));
        QTRY_COMPARE_WITH_TIMEOUT(camera.Received().size(), kRead1F.size(), 5000);
        QVERIFY(host.SetRate(B9600));
        QVERIFY(host.Send(kRead00));
        QTRY_VERIFY_WITH_TIMEOUT(camera.Sent().ends_with("12\r\n"), 5000);
        // An answer to the first would have come before the answer to the second.
        QCOMPARE(camera.Sent(), std::string("12\r\n"));
        QCOMPARE(camera.Received(), kRead1F + kRead00);
        const std::vector<LineByte> line = camera.ReceivedLine();
        QCOMPARE(line.front().nRate, 115200);
        QCOMPARE(line.back().nRate, 9600);
    }

    // Through the terminal, an answer still on its way is lost with the power.
    void ptyPowerCycleLosesTheAnswerOnItsWay()
    {
        CameraFaults faults;
        faults.nReplyDelayMs = 1000;
        CameraTiming timing;
        timing.nRestartSilenceMs = 50;
        PtyCamera camera(faults, timing);
        std::string error;
        QVERIFY2(camera.Start(&error), error.c_str());
        HostEnd host(camera.DevicePath());
        QVERIFY(host.SetRate(B115200));
        QVERIFY(host.Send(kRead1F));
        QTRY_COMPARE_WITH_TIMEOUT(camera.Received().size(), kRead1F.size(), 5000);
        camera.PowerCycle();
        QCOMPARE(camera.PowerCycleCount(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(camera.Listening(), 5000);
        QVERIFY(host.Send(kRead00));
        QTRY_VERIFY_WITH_TIMEOUT(camera.Sent().ends_with("12\r\n"), 5000);
        // Both answers are equally late, so the first would have come first.
        QCOMPARE(camera.Sent(), std::string("12\r\n"));
        QCOMPARE(camera.RestartCount(), 0);
    }

    void parsesSimulatorOptions()
    {
        CamsimOptions options;
        std::string error;
        QVERIFY(ParseCamsimOptions({"--link", "/tmp/cam", "--no-pacing", "--drop-every", "5", "--upgrade-error",
                                    "E002", "--register", "1F=11", "--vanish-after", "9", "--mute", "--echo",
                                    "--drop-reply", "10:once", "--garble-reply", "F9", "--keep-version",
                                    "--broken-firmware", "--baud", "9600", "--power-cycle-after", "250"},
                                   &options, &error));
        QCOMPARE(options.pty.strLinkPath, std::string("/tmp/cam"));
        QVERIFY(!options.pty.bPaced);
        QCOMPARE(options.faults.nDropEvery, 5);
        QCOMPARE(options.faults.strUpgradeError, std::string("E002"));
        QCOMPARE(options.registers.size(), 1u);
        QCOMPARE(options.registers[0], (std::pair<int, int>(0x1F, 0x11)));
        QCOMPARE(options.pty.nVanishAfterBytes, 9L);
        QVERIFY(options.faults.bMute);
        QVERIFY(options.pty.bEcho);
        QCOMPARE(options.faults.replyFaults.size(), 2u);
        QCOMPARE(options.faults.replyFaults[0].nRegister, 0x10);
        QVERIFY(options.faults.replyFaults[0].bOnce);
        QCOMPARE(int(options.faults.replyFaults[1].kind), int(ReplyFault::Kind::Garble));
        QVERIFY(!options.faults.replyFaults[1].bOnce);
        QVERIFY(options.faults.bKeepVersion);
        QVERIFY(options.faults.bBrokenFirmware);
        QCOMPARE(options.pty.nOwnRate, 9600);
        QCOMPARE(options.pty.nPowerCycleAfterMs, 250);
        CamsimOptions defaults;
        QCOMPARE(defaults.pty.nOwnRate, 0);
        QCOMPARE(defaults.pty.nPowerCycleAfterMs, -1);
        CamsimOptions several;
        QVERIFY(ParseCamsimOptions({"--count", "8"}, &several, &error));
        QCOMPARE(several.nCount, 8);

        for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
                 {"--bogus"}, {"--drop-every"}, {"--drop-every", "x"}, {"--drop-every", "-1"}, {"--drop-every", "+3"},
                 {"--register", "1F"}, {"--drop-char", "10:twice"}, {"--register", "1F=100"}, {"--register", "-1=00"}, {"--register", "0x1F=00"},
                 {"--count", "0"}, {"--count", "2", "--link", "/tmp/cam"}, {"--baud", "0"}, {"--baud", "-9600"},
                 {"--baud", "40000000"}, {"--power-cycle-after", "-1"}}) {
            CamsimOptions rejected;
            QVERIFY(!ParseCamsimOptions(bad, &rejected, &error));
            QVERIFY(!error.empty());
        }
        // Values that do not fit used to wrap: 4294967297 became 1.
        CamsimOptions wrapped;
        QVERIFY(!ParseCamsimOptions({"--drop-every", "4294967297"}, &wrapped, &error));
        QCOMPARE(error, std::string("--drop-every: '4294967297' is not a whole number from 0 to 2147483647"));
        QCOMPARE(wrapped.faults.nDropEvery, 0);
        QVERIFY(CamsimHelp().find("--vanish-after") != std::string::npos);
    }

    void checksumFoldsLikeTheCamera()
    {
        QCOMPARE(ComputeChecksum(std::string("abc")), 0x9D3B);
        QCOMPARE(ComputeChecksum(std::string()), 0xFFFF);
        QCOMPARE(ComputeChecksum(std::string(1, '\x01')), 0xFFFE);
        // 40000 words of 0xFFFF sum to 0x9C3F63C0, negative as a signed sum:
        // 0x63C0 + (0x9C3F >> 16 arithmetic = -25537) = -1, then 0xFFFF - 1 = 0xFFFE,
        // so the camera expects 0x0001 where the Internet checksum gives 0x0000.
        const std::string ones(2 * 40000, '\xFF');
        QCOMPARE(ComputeChecksum(ones), 0x0001);
    }
};

QTEST_GUILESS_MAIN(TestCameraModel)
#include "tst_camera_model.moc"
