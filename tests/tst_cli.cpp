// orvane-cli as a technician runs it, against the simulated camera on a
// pseudo-terminal.
#include "tests/support/camera_fixture.h"
#include "tests/support/cli_run.h"
#include "tests/support/package_writer.h"
#include "core/protocol/link_protocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>

#include <csignal>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// Starts orvane-cli upgrading one elf image of `bytes` and waits until the
// camera is well into it: 'U', the header and a few pieces have arrived.

bool UpgradeUntilMidImage(QProcess& process, CameraFixture& camera, const QTemporaryDir& dir, int bytes)
{
    const QString package = dir.filePath(u"cam.pkg"_s);
    WritePackage(package, {{"cam_V1.4.elf.flash", QByteArray(bytes, 'e')}});
    process.start(QStringLiteral(ORVANE_CLI), {u"--port"_s, Port(camera), u"upgrade"_s, package});
    return process.waitForStarted()
        && WaitUntil([&] { return camera.Camera().Received().find(std::string(500, 'e')) != std::string::npos; }, 20000);
}

// One line of a trace file: "HH:MM:SS.mmm +MS PORT DIR TEXT".
struct TraceEntry {
    qint64 nClockMs = 0; // the clock time, in ms of its day
    qint64 nMs = 0;
    QString strPort;
    QString strDirection; // "->", "<-" or "--"
    QString strText;
};

constexpr qint64 kDayMs = 24 * 60 * 60 * 1000;

// The next steps as the command line words them, after "orvane-cli: next step: ".
const QString kRetryUpgrade = u"run the upgrade again; if the same report comes back, check the wiring or choose a "
                               "lower rate with --baud."_s;
const QString kCheckPackage = u"check that the package is meant for this camera, then run the upgrade again."_s;
const QString kPowerCycleRetry = u"power the camera off and on and run the upgrade again (with 'orvane-cli upgrade "
                                  "--recover' if it answers no read); if it fails again, set the camera aside."_s;
const QString kSearchOrRecover = u"check the wiring and the port, find the camera's rate with 'orvane-cli scan', or "
                                  "recover a camera whose firmware does not start with 'orvane-cli upgrade --recover "
                                  "PACKAGE'."_s;
const QString kReplugAdapter = u"plug the adapter in again ('orvane-cli ports' lists the ports there are), then run "
                                "the command again."_s;
const QString kFreePort = u"close the other program that holds the port (a window of this tool, a terminal "
                           "program), then run the command again."_s;

// An elf image that begins with its own name: the simulated camera runs the
// version it names once restarted.
QByteArray SelfNamedElf(const QByteArray& name, int size)
{
    QByteArray image = name + '\n';
    return image + QByteArray(size - image.size(), 'e');
}

// The trace's lines, consecutive received pieces joined into one, since the
// driver may hand an answer over in parts. Empty when a line is malformed.
std::vector<TraceEntry> ReadTrace(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression shape(u"^(\\d\\d:\\d\\d:\\d\\d\\.\\d{3}) \\+(\\d+) (\\S+) (->|<-|--) (.*)$"_s);
    std::vector<TraceEntry> entries;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = shape.match(line);
        if (!match.hasMatch())
            return {};
        const QTime clock = QTime::fromString(match.captured(1), u"HH:mm:ss.zzz"_s);
        if (!clock.isValid())
            return {};
        TraceEntry entry{clock.msecsSinceStartOfDay(), match.captured(2).toLongLong(), match.captured(3),
                         match.captured(4), match.captured(5)};
        if (!entries.empty() && entry.strDirection == u"<-" && entries.back().strDirection == u"<-")
            entries.back().strText += entry.strText;
        else
            entries.push_back(entry);
    }
    return entries;
}

// The entries as "DIR TEXT", for comparing sequences.
QStringList Exchanges(const std::vector<TraceEntry>& entries)
{
    QStringList exchanges;
    for (const TraceEntry& entry : entries)
        exchanges.append(entry.strDirection + u' ' + entry.strText);
    return exchanges;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void readGivesTheCamerasSettingsByName()
    {
        CameraFixture camera;
        camera.Camera().SetRegister(0x12, 61); // brightness
        camera.Camera().SetRegister(0x1A, 3);  // sharpness
        const Run run = RunCli({u"--port"_s, Port(camera), u"read"_s, u"--json"_s});
        QCOMPARE(run.nExitCode, 0);
        const QJsonObject json = QJsonDocument::fromJson(run.strOut.toUtf8()).object();
        QCOMPARE(json[u"format"], QJsonValue(1));
        QCOMPARE(json[u"brightness"], QJsonValue(61));
        QCOMPARE(json[u"sharpness"], QJsonValue(3));
        QCOMPARE(json[u"shutter"], QJsonValue(u"auto"_s));
        QCOMPARE(json[u"camera"].toObject()[u"software_version"], QJsonValue(u"V1.3"_s));

        const Run text = RunCli({u"--port"_s, Port(camera), u"read"_s});
        QCOMPARE(text.nExitCode, 0);
        QVERIFY2(text.strOut.contains(u"brightness              61\n"_s), qPrintable(text.strOut));
    }

    // One lost character or answer is read again; an answer that is always
    // malformed, or never comes, ends the read naming its register, with no
    // settings printed. It used to give up after 2 s without a register, or
    // print nothing but "not with 23 registers".
    void aFaultyAnswerIsReadAgainOrNamed_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("once");
        QTest::addColumn<QString>("error"); // empty: the read succeeds
        using K = ReplyFault::Kind;
        QTest::newRow("lost LF once") << int(K::DropChar) << true << QString();
        QTest::newRow("lost answer once") << int(K::DropReply) << true << QString();
        QTest::newRow("always garbled")
            << int(K::Garble) << false << u"answered register 0x10 with \"2?\\x0d\\x0a\", not two hex digits and CR LF"_s;
        QTest::newRow("never answered") << int(K::DropReply) << false << u"did not answer register 0x10"_s;
    }

    void aFaultyAnswerIsReadAgainOrNamed()
    {
        QFETCH(int, kind);
        QFETCH(bool, once);
        QFETCH(QString, error);
        CameraFaults faults;
        faults.replyFaults.push_back({ReplyFault::Kind(kind), 0x10, once});
        CameraFixture camera(faults);
        const Run run = RunCli({u"--port"_s, Port(camera), u"read"_s, u"--json"_s});
        if (error.isEmpty()) {
            QCOMPARE(run.nExitCode, 0);
            QCOMPARE(QJsonDocument::fromJson(run.strOut.toUtf8()).object()[u"gain"], QJsonValue(0x20));
            return;
        }
        QCOMPARE(run.nExitCode, 1);
        QCOMPARE(run.strOut, QString());
        // What to do next names the search and the recovery.
        QCOMPARE(run.strErr, u"orvane-cli: the camera on %1 %2 (read 3 times, 153 ms for each answer)\n"
                              "orvane-cli: next step: %3\n"_s.arg(Port(camera), error, kSearchOrRecover));
    }

    // Every request of a read and its answer, in order, appended to what an
    // earlier run left; the line's opening and close are noted.
    void traceOfAReadHasEveryRequestAndAnswer()
    {
        CameraFixture camera;
        camera.Camera().SetRegister(0x12, 0x3C);
        QTemporaryDir dir;
        const QString trace = WriteFile(dir, u"line.trace"_s, "09:00:00.005 +5 /dev/earlier -- closed\n");
        const qint64 before = QTime::currentTime().msecsSinceStartOfDay();
        const Run run = RunCli({u"--trace"_s, trace, u"--port"_s, Port(camera), u"read"_s});
        QVERIFY2(run.nExitCode == 0, qPrintable(run.strErr));
        const qint64 runMs = (QTime::currentTime().msecsSinceStartOfDay() - before + kDayMs) % kDayMs;

        std::vector<TraceEntry> entries = ReadTrace(trace);
        QVERIFY(!entries.empty());
        QCOMPARE(entries.front().strPort, u"/dev/earlier"_s);
        entries.erase(entries.begin());
        QStringList expected{u"-- opened, baud=115200 parity=N data=8 stop=1"_s};
        for (const int reg : ReadList) {
            expected.append(QString::asprintf("-> r %04X \\r\\n", unsigned(reg)));
            expected.append(QString::asprintf("<- %02X\\r\\n", unsigned(camera.Camera().Register(reg))));
        }
        expected.append(u"-- closed"_s);
        QCOMPARE(Exchanges(entries), expected);
        // Each line's clock time is the trace's start, during the run, and its ms since.
        const qint64 start = (entries[0].nClockMs - entries[0].nMs + kDayMs) % kDayMs;
        QVERIFY2((start - before + kDayMs) % kDayMs <= runMs, qPrintable(u"trace began %1 ms into the day, the run "
                                                                         "at %2 for %3 ms"_s.arg(start).arg(before).arg(runMs)));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            QCOMPARE(entries[i].strPort, Port(camera));
            QVERIFY(i == 0 || entries[i].nMs >= entries[i - 1].nMs);
            QCOMPARE((entries[i].nClockMs - entries[i].nMs + kDayMs) % kDayMs, start);
        }
    }

    // A small image: the restart, each request until 'A', "U", the header,
    // one line per piece, the camera's answers and "R", in order; the image
    // itself is never dumped.
    void traceOfAnUpgradeSummarisesTheImage()
    {
        CameraFixture camera({}, QuickCamera(50));
        QTemporaryDir dir;
        const QByteArray elf(250, 'e');
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", elf}});
        const QString trace = dir.filePath(u"up.trace"_s);
        const Run run = RunCli({u"--port"_s, Port(camera), u"--trace"_s, trace, u"upgrade"_s, u"--no-restart"_s, package});
        QVERIFY2(run.nExitCode == 0, qPrintable(run.strErr));

        QStringList exchanges = Exchanges(ReadTrace(trace));
        QVERIFY(!exchanges.isEmpty());
        // The read that chose the images comes first; the upgrade begins with the restart.
        exchanges = exchanges.mid(exchanges.indexOf(u"-> w 00 FFFF\\r\\n"_s));
        const qsizetype firstRequest = exchanges.indexOf(u"-> *****"_s);
        QVERIFY2(firstRequest >= 0, qPrintable(exchanges.join(u'\n')));
        QCOMPARE(exchanges.mid(0, firstRequest), (QStringList{u"-> w 00 FFFF\\r\\n"_s, u"-> w 01 FFFF\\r\\n"_s}));
        const qsizetype answered = exchanges.indexOf(u"<- A"_s);
        QVERIFY(answered > firstRequest);
        for (qsizetype i = firstRequest; i < answered; ++i)
            QCOMPARE(exchanges[i], u"-> *****"_s);
        QCOMPARE(exchanges[answered + 1], u"-> U"_s);
        QVERIFY(exchanges[answered + 2].startsWith(u"-> \\x01"_s)); // the header: an elf image
        QCOMPARE(exchanges.mid(answered + 3, 3), (QStringList{u"-> 100 bytes of image"_s, u"-> 100 bytes of image"_s,
                                                             u"-> 50 bytes of image"_s}));
        // Released, and confirmed by the camera's answer to a read.
        QCOMPARE(exchanges.mid(answered + 6), (QStringList{u"<- SD"_s, u"-> R"_s, u"-> r 001F \\r\\n"_s,
                                                           u"<- 00\\r\\n"_s, u"-- closed"_s}));
        QFile file(trace);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("eeee"));
    }

    // A FIFO in the trace's place is refused before the port is opened.
    void aTraceThatCannotBeWrittenIsRefusedFirst()
    {
        CameraFixture camera;
        QTemporaryDir dir;
        const QString fifo = dir.filePath(u"fifo"_s);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const Run run = RunCli({u"--trace"_s, fifo, u"--port"_s, Port(camera), u"read"_s});
        QCOMPARE(run.nExitCode, 2);
        QVERIFY2(run.strErr.contains(u"cannot write the trace %1: not a regular file"_s.arg(fifo)), qPrintable(run.strErr));
        QVERIFY(camera.Camera().Received().empty());
    }

    // An adapter that hears itself: read, apply and an upgrade of an image
    // holding the camera's reply characters behave as on a clean line.
    void anEchoingLineWorksAsACleanOne()
    {
        PtyOptions line;
        line.bEcho = true;
        CameraFixture camera({}, QuickCamera(50), line);
        const Run read = RunCli({u"--port"_s, Port(camera), u"read"_s, u"--json"_s});
        QCOMPARE(read.nExitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(read.strOut.toUtf8()).object()[u"brightness"], QJsonValue(0x32));
        QVERIFY2(read.strErr.contains(u"returns every byte sent to it (local echo"_s), qPrintable(read.strErr));

        QTemporaryDir dir;
        const QString file = WriteFile(dir, u"cam.json"_s, R"({"format": 1, "brightness": 70})");
        const Run apply = RunCli({u"--port"_s, Port(camera), u"apply"_s, file});
        QVERIFY2(apply.nExitCode == 0, qPrintable(apply.strErr));
        QCOMPARE(camera.Camera().Register(0x12), 70);

        QByteArray elf(3000, 'e');
        elf.replace(1000, 11, "ASDE001E002");
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", elf}});
        camera.Camera().ClearCapture();
        const Run upgrade = RunCli({u"--port"_s, Port(camera), u"upgrade"_s, u"--no-restart"_s, package});
        QVERIFY2(upgrade.nExitCode == 0, qPrintable(upgrade.strErr));
        QCOMPARE(QByteArray::fromStdString(camera.Camera().Images().at(0).bytes), elf);
        QVERIFY(WaitUntil([&] { return camera.Camera().Received().ends_with("R" + FormatReadCommand(0x1F).toStdString()); }));
    }

    // On a slow line a read request waits behind the paced writes. Its
    // answer's wait used to start when it was queued: the read-back timed
    // out, its late answers filled the next try shifted by a few registers,
    // and that try counted as a good read ("brightness: wanted 60, camera
    // has 4"), or every try failed on register 0x1F after writes that
    // succeeded.
    void aSlowLineReadsBackWhatWasWritten_data()
    {
        QTest::addColumn<int>("baud");
        QTest::newRow("1200") << 1200;
        QTest::newRow("600") << 600;
    }

    void aSlowLineReadsBackWhatWasWritten()
    {
        QFETCH(int, baud);
        QTemporaryDir dir;
        const QString file = WriteFile(dir, u"cam.json"_s, R"({"format": 1, "brightness": 60, "gain": 20})");
        CameraFixture camera;
        const QString rate = QString::number(baud);
        const Run apply = RunCli({u"--port"_s, Port(camera), u"--baud"_s, rate, u"apply"_s, file}, 120000);
        QVERIFY2(apply.nExitCode == 0, qPrintable(apply.strErr));
        QCOMPARE(camera.Camera().Register(0x12), 60);
        const Run read = RunCli({u"--port"_s, Port(camera), u"--baud"_s, rate, u"read"_s, u"--json"_s}, 120000);
        QVERIFY2(read.nExitCode == 0, qPrintable(read.strErr));
        const QJsonObject settings = QJsonDocument::fromJson(read.strOut.toUtf8()).object();
        QCOMPARE(settings[u"brightness"], QJsonValue(60));
        QCOMPARE(settings[u"gain"], QJsonValue(20));
    }

    // At 1200 baud an image of 1300 bytes takes 11 s on the line; the
    // pieces used to be handed over at 10 000 bytes a second, the driver
    // took them all at once, and the camera's 10 s for its answer ran out
    // before it had the last byte: "did not say whether it took the image".
    void anUpgradeOnASlowLineWaitsForItsLastByte()
    {
        CameraFixture camera({}, QuickCamera(100));
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        const QByteArray elf(1300, 'e');
        WritePackage(package, {{"cam_V1.4.elf.flash", elf}});
        const Run run = RunCli({u"--port"_s, Port(camera), u"--baud"_s, u"1200"_s, u"upgrade"_s, u"--no-restart"_s, package}, 120000);
        QVERIFY2(run.nExitCode == 0, qPrintable(run.strErr));
        QCOMPARE(camera.Camera().Images().size(), std::size_t(1));
        QCOMPARE(QByteArray::fromStdString(camera.Camera().Images()[0].bytes), elf);
    }

    // Noise ahead of the first echo used to mark an echoing line as clean
    // for the whole opening: every try failed on the echoed requests.
    void noiseBeforeTheFirstEchoIsDecidedAgainAtTheNextTry()
    {
        PtyOptions line;
        line.bEcho = true;
        CameraFixture camera({}, QuickCamera(50), line);
        camera.Camera().SetFlood(true);
        QProcess process;
        process.start(QStringLiteral(ORVANE_CLI), {u"--port"_s, Port(camera), u"read"_s});
        QVERIFY(process.waitForStarted());
        QVERIFY(WaitUntil([&] { return camera.Camera().Received().find("r 001F") != std::string::npos; }, 10000));
        camera.Camera().SetFlood(false);
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    }

    void applyWritesReadsBackAndNamesWhatDiffers()
    {
        QTemporaryDir dir;
        const QString file = WriteFile(dir, u"cam.json"_s,
                                       R"({"format": 1, "brightness": 70, "gain": 20, "mirror": true,
                                           "shutter": {"range_ms": [10, 20]}, "osd_language": "english"})");
        {
            CameraFixture camera;
            const Run run = RunCli({u"--port"_s, Port(camera), u"apply"_s, file});
            QCOMPARE(run.nExitCode, 0);
            QCOMPARE(camera.Camera().Register(0x12), 70);
            QCOMPARE(camera.Camera().Register(0x10), 20);
            QCOMPARE(camera.Camera().Register(0xF9), 0);
            // The writes end with the language and then the commit.
            QVERIFY(camera.Camera().Received().find("w 00 00F9\r\nw 01 00EF\r\n") != std::string::npos);

            // What was read is applied unchanged.
            const Run read = RunCli({u"--port"_s, Port(camera), u"read"_s, u"--json"_s});
            const QString again = WriteFile(dir, u"again.json"_s, read.strOut.toUtf8());
            camera.Camera().ClearCapture();
            QCOMPARE(RunCli({u"--port"_s, Port(camera), u"apply"_s, again}).nExitCode, 0);
        }
        CameraFaults forgetful;
        forgetful.nIgnoredWriteRegister = 0x10; // gain
        CameraFixture camera(forgetful);
        const Run run = RunCli({u"--port"_s, Port(camera), u"apply"_s, file});
        QCOMPARE(run.nExitCode, 1);
        QVERIFY2(run.strErr.contains(u"gain: wanted 20, camera has "_s), qPrintable(run.strErr));
        QVERIFY2(!run.strErr.contains(u"brightness"_s), qPrintable(run.strErr));
    }

    // Every one of these is refused (exit 2, with a message) before the port
    // is opened. The empty files used to be refused without a word, the
    // damaged packages called "already installed" after the camera was read,
    // /dev/zero read until memory ran out, and the FIFO blocked for ever.
    void aBadFileOrUsageSendsNothing_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("file"); // written to a file, unless `path` is given
        QTest::addColumn<QString>("path");    // "fifo": a FIFO in the test's folder
        QTest::addColumn<QString>("message");
        const auto apply = [](const char* row, const QByteArray& file, const QString& message) {
            QTest::newRow(row) << u"apply"_s << file << QString() << message;
        };
        apply("unknown key", R"({"format": 1, "sharpnes": 3})", u"unknown key \"sharpnes\""_s);
        apply("300", R"({"format": 1, "brightness": 300})", u"\"brightness\": 300"_s);
        apply("broken", "{\"format\": 1, ", u"not JSON"_s);
        apply("empty settings", "", u"is empty"_s);
        QTest::newRow("FIFO as settings") << u"apply"_s << QByteArray() << u"fifo"_s << u": not a regular file"_s;

        const auto upgrade = [](const char* row, const QByteArray& file, const QString& message) {
            QTest::newRow(row) << u"upgrade"_s << file << QString() << message;
        };
        upgrade("plain zip", ZipArchive({{"cam.elf.flash", "image"}}),
                u"is not an upgrade package (it does not start with \"QZ\"); nothing was sent"_s);
        upgrade("empty package", "", u"is empty"_s);
        QByteArray crc = ZipArchive({{"cam_V1.4.elf.flash", "image"}}, 0);
        PatchZipRecords(crc, kZipCentral, 16, 0xBEEF);
        PatchZipRecords(crc, kZipLocal, 14, 0xBEEF);
        upgrade("CRC", Tagged(crc), u"is a bad upgrade package, nothing was sent: cam_V1.4.elf.flash: fails its CRC check"_s);
        upgrade("an empty image", Tagged(ZipArchive({{"cam_V1.4.elf.flash", ""}})),
                u"cam_V1.4.elf.flash: the image is empty"_s);
        upgrade("no image", Tagged(ZipArchive({{"readme.txt", "notes"}})),
                u"is a bad upgrade package, nothing was sent: it holds no image"_s);
        PackageEntries many;
        for (int i = 1; i <= 30; ++i)
            many.push_back({QByteArray::number(i) + ".font.flash", "f"});
        upgrade("30 images", Tagged(ZipArchive(many)), u"21.font.flash: the package holds more than 20 files"_s);
        upgrade("twice", Tagged(ZipArchive({{"a.font.flash", "1"}, {"a.font.flash", "2"}})),
                u"a.font.flash: the package holds two entries of this name"_s);
        QTest::newRow("/dev/zero") << u"upgrade"_s << QByteArray() << u"/dev/zero"_s
                                   << u"cannot read /dev/zero: not a regular file"_s;
        QTest::newRow("FIFO as package") << u"upgrade"_s << QByteArray() << u"fifo"_s << u": not a regular file"_s;
    }

    void aBadFileOrUsageSendsNothing()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, file);
        QFETCH(QString, path);
        QFETCH(QString, message);
        CameraFixture camera;
        QTemporaryDir dir;
        if (path == u"fifo") {
            path = dir.filePath(u"fifo"_s);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (path.isEmpty()) {
            path = WriteFile(dir, u"bad"_s, file);
        }
        const Run run = RunCli({u"--port"_s, Port(camera), command, path}, 20000);
        QCOMPARE(run.nExitCode, 2);
        QVERIFY2(run.strErr.contains(message), qPrintable(run.strErr));
        QVERIFY(run.strOut.isEmpty());
        QCOMPARE(RunCli({u"--port"_s, Port(camera), u"--baud"_s, u"x"_s, u"read"_s}).nExitCode, 2);
        // The port was never opened: a marker of the test's own is the first thing the camera receives.
        QFile device(Port(camera));
        QVERIFY(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        device.write("#marker#");
        QVERIFY(camera.WaitReceived("#marker#"));
    }

    // With the backlight manual on the camera, contrast enhancement cannot be
    // switched on: it used to write the camera's own values back, compare
    // them with themselves and say "all read back as written".
    void applyRefusesAFileThatDoesNotFitTheCamera()
    {
        CameraFixture camera;
        camera.Camera().SetRegister(0x1D, 0x01);
        QTemporaryDir dir;
        const QString file = WriteFile(dir, u"cam.json"_s, R"({"format":1,"contrast_enhancement":true,"brightness":77})");
        const Run run = RunCli({u"--port"_s, Port(camera), u"apply"_s, file});
        QCOMPARE(run.nExitCode, 2);
        QVERIFY2(run.strErr.contains(u"cannot be applied to the camera on %1: \"contrast_enhancement\": true with "
                                     "\"backlight\": \"manual\""_s.arg(Port(camera))),
                 qPrintable(run.strErr));
        QVERIFY(!run.strOut.contains(u"applied"_s));
        QVERIFY(camera.Camera().Received().find("w ") == std::string::npos);
        QCOMPARE(camera.Camera().Register(0x12), 50);
    }

    void upgradeSendsEveryImage()
    {
        CameraFixture camera({}, QuickCamera(50));
        QTemporaryDir dir;
        QByteArray elf(2500, '\0');
        for (int i = 0; i < elf.size(); ++i)
            elf[i] = char(i * 7);
        const QByteArray font(300, 'f');
        const QString package = dir.filePath(u"cam.pkg"_s);
        // A name that would clear the terminal and fake a line, were it printed as it is.
        WritePackage(package, {{"cam_V1.3.elf.flash", "the camera runs it"}, {"cam_V1.4.elf.flash", elf},
                               {"readme.txt", "notes"}, {"cn.font.flash", font},
                               {"\x1b[2Jx\nupgrade finished.font.flash", "f"}});
        const Run run = RunCli({u"--port"_s, Port(camera), u"upgrade"_s, u"--no-restart"_s, package});
        QCOMPARE(run.nExitCode, 0);
        const std::vector<ReceivedImage> images = camera.Camera().Images();
        QCOMPARE(images.size(), std::size_t(3));
        QCOMPARE(QByteArray::fromStdString(images[0].bytes), elf);
        QCOMPARE(images[0].nType, 1);
        QCOMPARE(QByteArray::fromStdString(images[1].bytes), font);
        QCOMPARE(images[1].nType, 3);
        QVERIFY(run.strOut.contains(u"skipped readme.txt: not an elf, sof or font image"_s));
        QVERIFY(run.strOut.contains(u"skipped cam_V1.3.elf.flash: the camera runs this version already"_s));
        QVERIFY(run.strOut.contains(u"[1/3] cam_V1.4.elf.flash: done"_s));
        QVERIFY(run.strOut.contains(u"[3/3] \\x1b[2Jx\\x0aupgrade finished.font.flash: done"_s));
        QVERIFY(!run.strOut.contains(u'\x1b'));
        QVERIFY(run.strOut.endsWith(u"upgrade finished: 3 image(s) sent\nthe camera runs the new firmware from its next "
                                    "restart: restart the camera (orvane-cli restart) to run it\n"_s));
    }

    // An empty entry used to be taken for "read the file of this name", and
    // a file of that name in the working directory went to the camera.
    // An image is sent from the package in memory, never from a file of
    // its name that happens to lie in the working folder.
    void anImageIsSentFromThePackageNeverAsALocalFile()
    {
        CameraFixture camera({}, QuickCamera(50));
        QTemporaryDir dir;
        WriteFile(dir, u"cam_V9.9.elf.flash"_s, "a decoy that must stay here");
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V9.9.elf.flash", "the image"}});
        const Run run = RunCli({u"--port"_s, Port(camera), u"upgrade"_s, u"--no-restart"_s, package}, 60000, dir.path());
        QVERIFY2(run.nExitCode == 0, qPrintable(run.strErr));
        const std::vector<ReceivedImage> images = camera.Camera().Images();
        QCOMPARE(images.size(), std::size_t(1));
        QCOMPARE(images[0].bytes, std::string("the image"));
        QVERIFY(camera.Camera().Received().find("decoy") == std::string::npos);
    }

    // The camera's 'S' and 'D' can arrive while the transfer's last pause
    // runs; a 'D' there used to be lost (a 12 s wait, then exit 1), and noise
    // that began with 'E' swallowed 'S' and 'D' as a report "E0SD".
    void repliesThatOvertakeTheTransferCount_data()
    {
        QTest::addColumn<int>("flashMs");
        QTest::addColumn<QByteArray>("noiseInImage");
        QTest::addColumn<QByteArray>("noiseAfterVerdict");
        QTest::newRow("S and D as the last byte arrives") << 0 << QByteArray() << QByteArray();
        QTest::newRow("S, D and noise") << 0 << QByteArray() << QByteArray("x");
        QTest::newRow("E0 noise mid-transfer") << 50 << QByteArray("E0") << QByteArray();
    }

    void repliesThatOvertakeTheTransferCount()
    {
        QFETCH(int, flashMs);
        QFETCH(QByteArray, noiseInImage);
        QFETCH(QByteArray, noiseAfterVerdict);
        CameraFaults faults;
        faults.strNoiseInImage = noiseInImage.toStdString();
        faults.strNoiseAfterVerdict = noiseAfterVerdict.toStdString();
        CameraFixture camera(faults, QuickCamera(flashMs));
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", QByteArray(3000, 'e')}, {"cn.font.flash", QByteArray(500, 'f')}});
        const Run run = RunCli({u"--port"_s, Port(camera), u"upgrade"_s, u"--no-restart"_s, package}, 20000);
        QVERIFY2(run.nExitCode == 0, qPrintable(run.strErr));
        QCOMPARE(camera.Camera().Images().size(), std::size_t(2));
        QVERIFY(run.strOut.contains(u"upgrade finished: 2 image(s) sent\n"_s));
    }

    // Stray 'D's after the first image's verdict used to finish the second
    // image's exchange before its first step ran, crashing the program (its
    // queued step outlived it) or counting an image never sent; a noise 'D'
    // mid-image passed for success while the camera answered E002; a noise
    // "E001" mid-image ended the run with an "R" that the camera, still
    // taking the image, took as image data, and it answered nothing after.
    // A noise 'D' once the last piece was handed over (a short image, a slow
    // line) or while the camera flashed was taken for its verdict: "upgrade
    // finished", exit 0, while the camera reported E002 and then, its "R"
    // sent too early, answered no read.
    void strayRepliesAroundAnImage_data()
    {
        QTest::addColumn<QByteArray>("inImage");
        QTest::addColumn<QByteArray>("inFlash");
        QTest::addColumn<QByteArray>("afterVerdict");
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<int>("imageBytes");
        QTest::addColumn<int>("flashMs");
        QTest::addColumn<int>("baud");
        QTest::addColumn<QString>("failure"); // empty: success
        // The report belongs to the first image: the second is never triggered.
        const QString e002 = u"[1/2] cam_V1.4.elf.flash: the camera reported E002"_s;
        QTest::newRow("D after the verdict") << QByteArray() << QByteArray() << QByteArray("DDDD") << QByteArray()
                                             << 3000 << 100 << 115200 << QString();
        QTest::newRow("D mid-image, then E002")
            << QByteArray("D") << QByteArray() << QByteArray() << QByteArray("E002") << 3000 << 100 << 115200 << e002;
        QTest::newRow("D in the last piece, then E002")
            << QByteArray("D") << QByteArray() << QByteArray() << QByteArray("E002") << 200 << 300 << 115200 << e002;
        QTest::newRow("D in the last piece at 1200 baud, then E002")
            << QByteArray("D") << QByteArray() << QByteArray() << QByteArray("E002") << 200 << 300 << 1200 << e002;
        QTest::newRow("S, D while flashing, then E002")
            << QByteArray() << QByteArray("D") << QByteArray() << QByteArray("E002") << 3000 << 3000 << 115200 << e002;
        QTest::newRow("S, D while flashing, then D")
            << QByteArray() << QByteArray("D") << QByteArray() << QByteArray() << 3000 << 1000 << 115200 << QString();
        QTest::newRow("E001 mid-image") << QByteArray("E001") << QByteArray() << QByteArray() << QByteArray() << 3000
                                        << 100 << 115200 << u"the camera reported E001"_s;
    }

    void strayRepliesAroundAnImage()
    {
        QFETCH(QByteArray, inImage);
        QFETCH(QByteArray, inFlash);
        QFETCH(QByteArray, afterVerdict);
        QFETCH(QByteArray, report);
        QFETCH(int, imageBytes);
        QFETCH(int, flashMs);
        QFETCH(int, baud);
        QFETCH(QString, failure);
        CameraFaults faults = NoisyUpgrade(inImage, afterVerdict, report);
        faults.strNoiseInFlash = inFlash.toStdString();
        CameraFixture camera(faults, QuickCamera(flashMs));
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", QByteArray(imageBytes, 'e')}, {"cn.font.flash", QByteArray(800, 'f')}});
        const QString rate = QString::number(baud);
        const Run run = RunCli({u"--port"_s, Port(camera), u"--baud"_s, rate, u"upgrade"_s, u"--no-restart"_s, package}, 120000);
        if (failure.isEmpty()) {
            QVERIFY2(run.nExitCode == 0, qPrintable(run.strErr));
            QCOMPARE(camera.Camera().Images().size(), std::size_t(2));
            QCOMPARE(camera.Camera().Images()[1].bytes, std::string(800, 'f'));
        } else {
            QCOMPARE(run.nExitCode, 1);
            QVERIFY2(run.strErr.contains(failure), qPrintable(run.strErr));
            QVERIFY2(!run.strOut.contains(u"upgrade finished"_s), qPrintable(run.strOut));
            QCOMPARE(camera.Camera().Images().size(), std::size_t(1));
        }
        const Run read = RunCli({u"--port"_s, Port(camera), u"--baud"_s, rate, u"read"_s}); // released: it answers
        QVERIFY2(read.nExitCode == 0, qPrintable(read.strErr));
    }

    // Every report of the camera ends the upgrade, is named with its
    // meaning, and says what to do next; the camera is released.
    void aCameraReportEndsTheUpgradeWithItsNextStep_data()
    {
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("nextStep");
        QTest::newRow("E001") << QByteArray("E001") << u"E001 (checksum error)"_s << kRetryUpgrade;
        QTest::newRow("E002") << QByteArray("E002") << u"E002 (flash operation error)"_s << kPowerCycleRetry;
        QTest::newRow("E003") << QByteArray("E003") << u"E003 (file size error)"_s << kCheckPackage;
        QTest::newRow("E004") << QByteArray("E004") << u"E004 (upgrade command format error)"_s << kRetryUpgrade;
        QTest::newRow("E010") << QByteArray("E010") << u"E010 (other unknown error)"_s << kPowerCycleRetry;
        QTest::newRow("unlisted") << QByteArray("E007") << u"E007"_s << kPowerCycleRetry;
    }

    void aCameraReportEndsTheUpgradeWithItsNextStep()
    {
        QFETCH(QByteArray, report);
        QFETCH(QString, said);
        QFETCH(QString, nextStep);
        CameraFaults failing;
        failing.strUpgradeError = report.toStdString();
        CameraFixture camera(failing, QuickCamera());
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", "image"}, {"cn.font.flash", "font"}});
        const Run run = RunCli({u"--port"_s, Port(camera), u"upgrade"_s, package});
        QCOMPARE(run.nExitCode, 1);
        QCOMPARE(run.strErr, u"orvane-cli: [1/2] cam_V1.4.elf.flash: the camera reported %1\n"
                              "orvane-cli: next step: %2\n"_s.arg(said, nextStep));
        QVERIFY(!run.strOut.contains(u"upgrade finished"_s));
        QCOMPARE(camera.Camera().Images().size(), std::size_t(1));
        QVERIFY(WaitUntil([&] { return camera.Camera().Received().ends_with("R"); }));
        QCOMPARE(camera.Camera().RestartCount(), 1); // the image's trigger: no restart after a failure
    }

    // Done means the camera runs the package: by default the upgrade
    // restarts the camera, reads it once it answers and compares its
    // versions with the images' names. It used to end "upgrade finished"
    // while the camera still reported the old version until a restart.
    void upgradeRestartsTheCameraAndVerifiesItsVersions()
    {
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", SelfNamedElf("cam_V1.4.elf.flash", 2000)},
                               {"cn.font.flash", QByteArray(300, 'f')}});
        {
            CameraFixture camera({}, QuickCamera(50));
            const Run run = RunCli({u"--port"_s, Port(camera), u"upgrade"_s, package});
            QVERIFY2(run.nExitCode == 0, qPrintable(run.strErr));
            QVERIFY2(run.strOut.endsWith(u"upgrade finished: 2 image(s) sent\nrestarted and verified: the camera now "
                                         "reports software V1.4, hardware V1.2\n"_s),
                     qPrintable(run.strOut));
            QCOMPARE(run.strErr, QString());
            QCOMPARE(camera.Camera().RestartCount(), 3); // each image's trigger, then the restart that runs them
            const Run read = RunCli({u"--port"_s, Port(camera), u"read"_s, u"--json"_s});
            QVERIFY2(read.nExitCode == 0, qPrintable(read.strErr));
            const QJsonObject json = QJsonDocument::fromJson(read.strOut.toUtf8()).object();
            QCOMPARE(json[u"camera"].toObject()[u"software_version"], QJsonValue(u"V1.4"_s));
        }
        // A camera that still reports the old version after the restart fails the check.
        CameraFaults stale;
        stale.bKeepVersion = true;
        CameraFixture camera(stale, QuickCamera(50));
        const Run run = RunCli({u"--port"_s, Port(camera), u"upgrade"_s, package});
        QCOMPARE(run.nExitCode, 1);
        QCOMPARE(run.strErr, u"orvane-cli: %1: not verified: after the upgrade and a restart the camera reports "
                              "software version V1.3 where the package's image names V1.4\n"
                              "orvane-cli: next step: %2\n"_s.arg(Port(camera), kCheckPackage));
        QVERIFY(!run.strOut.contains(u"upgrade finished"_s));
        QCOMPARE(camera.Camera().RestartCount(), 3);
    }

    // With --no-restart the images only are sent, and the output says that
    // a restart runs them; `restart` then waits until the camera answers and
    // prints the versions it runs, and a read straight after succeeds.
    void anUpgradeWithoutRestartRunsFromTheRestartCommand()
    {
        CameraFixture camera({}, QuickCamera(50));
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", SelfNamedElf("cam_V1.4.elf.flash", 2000)}});
        const Run upgrade = RunCli({u"--port"_s, Port(camera), u"upgrade"_s, u"--no-restart"_s, package});
        QVERIFY2(upgrade.nExitCode == 0, qPrintable(upgrade.strErr));
        QVERIFY2(upgrade.strOut.endsWith(u"upgrade finished: 1 image(s) sent\nthe camera runs the new firmware from "
                                         "its next restart: restart the camera (orvane-cli restart) to run it\n"_s),
                 qPrintable(upgrade.strOut));
        QCOMPARE(camera.Camera().RestartCount(), 1);
        QCOMPARE(camera.Camera().Register(0x01), 0x13); // still the old version

        const Run restart = RunCli({u"--port"_s, Port(camera), u"restart"_s});
        QVERIFY2(restart.nExitCode == 0, qPrintable(restart.strErr));
        static const QRegularExpression back(u"^restarting the camera on (\\S+); waiting up to 30 s for it to answer "
                                             "again\nthe camera on \\1 answers again \\d+\\.\\d s after its restart: "
                                             "software V1.4, hardware V1.2\n$"_s);
        QVERIFY2(back.match(restart.strOut).hasMatch(), qPrintable(restart.strOut));
        QCOMPARE(camera.Camera().RestartCount(), 2);
        const Run read = RunCli({u"--port"_s, Port(camera), u"read"_s});
        QVERIFY2(read.nExitCode == 0, qPrintable(read.strErr));
        QVERIFY2(read.strOut.contains(u"software_version        V1.4\n"_s), qPrintable(read.strOut));
    }

    // The port goes away in the boot pause and comes back with another
    // camera on it: its versions are not given as the restarted camera's.
    // The port used to be closed through the pause, and the swap unseen.
    void aPortReplacedDuringARestartIsSaidSo()
    {
        CameraFixture first;
        CameraFixture other;
        other.Camera().SetRegister(0x01, 0x15);
        QTemporaryDir dir;
        const QString port = dir.filePath(u"camera"_s);
        QVERIFY(QFile::link(Port(first), port));
        QProcess process;
        process.start(QStringLiteral(ORVANE_CLI), {u"--port"_s, port, u"restart"_s});
        QString out;
        QVERIFY(WaitUntil([&] { // the trigger is out: the pause has begun
            out += QString::fromUtf8(process.readAllStandardOutput());
            return out.contains(u"waiting up to 30 s"_s);
        }, 10000));
        QVERIFY(QFile::remove(port));
        first.Camera().Vanish();
        QVERIFY(QFile::link(Port(other), port));
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000));
        out += QString::fromUtf8(process.readAllStandardOutput());
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(!out.contains(u"V1.5"_s), qPrintable(out));
        QVERIFY2(err.contains(u"%1 went away during the camera's restart and came back: the camera on it may be another "
                              "one"_s.arg(port)),
                 qPrintable(err));
    }

    // A camera deaf for 5 s after its restart: `restart` sends the trigger,
    // gives it the boot pause with the port held, and reads it until it
    // answers; nothing but reads follows the trigger. A read straight after
    // succeeds. It used to return at once, and that read failed.
    void restartWaitsUntilTheCameraAnswersAgain()
    {
        CameraTiming slowBoot;
        slowBoot.nRestartSilenceMs = 5000;
        CameraFixture camera({}, slowBoot);
        const Run restart = RunCli({u"--port"_s, Port(camera), u"restart"_s});
        QVERIFY2(restart.nExitCode == 0, qPrintable(restart.strErr));
        QVERIFY2(restart.strOut.endsWith(u"s after its restart: software V1.3, hardware V1.2\n"_s),
                 qPrintable(restart.strOut));
        QCOMPARE(camera.Camera().RestartCount(), 1);
        const std::string trigger = "w 00 FFFF\r\nw 01 FFFF\r\n";
        const std::string received = camera.Camera().Received();
        QVERIFY2(received.starts_with(trigger), received.c_str());
        QVERIFY2(OnlyReadCommands(received.substr(trigger.size())), received.c_str());
        // Nothing for the boot pause (2 s) after the trigger; a late stamp
        // of the trigger's last byte may shorten it by a few ms.
        const std::vector<LineByte> line = camera.Camera().ReceivedLine();
        const qint64 pauseMs = (line[trigger.size()].nAtNs - line[trigger.size() - 1].nAtNs) / 1000000;
        QVERIFY2(pauseMs >= 1950, qPrintable(u"%1 ms"_s.arg(pauseMs)));
        const Run read = RunCli({u"--port"_s, Port(camera), u"read"_s});
        QVERIFY2(read.nExitCode == 0, qPrintable(read.strErr));

        // --no-wait sends the trigger and returns.
        camera.Camera().ClearCapture();
        const Run sent = RunCli({u"--port"_s, Port(camera), u"restart"_s, u"--no-wait"_s});
        QCOMPARE(sent.nExitCode, 0);
        QCOMPARE(sent.strOut, u"restart sent to the camera on %1\n"_s.arg(Port(camera)));
        QVERIFY(WaitUntil([&] { return camera.Camera().RestartCount() == 2; }));
        QCOMPARE(camera.Camera().Received(), trigger);
    }

    // SIGTERM (timeout, systemd, CI) and SIGHUP used to end the program at
    // once, leaving the camera in upgrade mode. Then an "R" sent in the middle
    // of an image was taken as image data, and the camera answered nothing
    // until it was released by hand: the rest now goes out as filler the
    // camera refuses by its checksum, and the camera answers a read after.
    // timeout(1) sends its signal to the program and to its group: the two
    // used to count as a second Ctrl-C, which stops at once.
    void aStopSignalCompletesTheImageAsRefusedAndReleasesTheCamera_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("twice");
        QTest::newRow("Ctrl-C") << SIGINT << false;
        QTest::newRow("SIGTERM") << SIGTERM << false;
        QTest::newRow("SIGHUP") << SIGHUP << false;
        QTest::newRow("SIGTERM twice at once, as timeout sends it") << SIGTERM << true;
    }

    void aStopSignalCompletesTheImageAsRefusedAndReleasesTheCamera()
    {
        QFETCH(int, signal);
        QFETCH(bool, twice);
        CameraFixture camera({}, QuickCamera());
        QTemporaryDir dir;
        QProcess process;
        QVERIFY(UpgradeUntilMidImage(process, camera, dir, 60000));
        ::kill(pid_t(process.processId()), signal);
        if (twice)
            ::kill(pid_t(process.processId()), signal);
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.contains(u"the camera refused it (E001) and was released"_s), qPrintable(err));
        QVERIFY(WaitUntil([&] { return camera.Camera().Received().ends_with("R"); }));
        QCOMPARE(camera.Camera().Images().size(), std::size_t(1));
        QCOMPARE(camera.Camera().Images().back().strVerdict, std::string("E001")); // refused, nothing flashed
        const Run read = RunCli({u"--port"_s, Port(camera), u"read"_s});
        QVERIFY2(read.nExitCode == 0, qPrintable(read.strErr));
    }

    // Interrupted while the camera flashed a whole image: the "R" sent at
    // once was ignored by the flashing camera, which then waited for a
    // release for ever. Its verdict is waited for now, then it is released.
    void anInterruptWhileTheCameraFlashesWaitsForItsVerdict()
    {
        CameraFixture camera({}, QuickCamera(3000));
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", QByteArray(2000, 'e')}, {"cn.font.flash", QByteArray(500, 'f')}});
        QProcess process;
        process.start(QStringLiteral(ORVANE_CLI), {u"--port"_s, Port(camera), u"upgrade"_s, package});
        QVERIFY(process.waitForStarted());
        QVERIFY(WaitUntil([&] { return camera.Camera().Images().size() == 1; }, 20000)); // it flashes now
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
        QCOMPARE(process.exitCode(), 1);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.contains(u"the camera flashed this image and was released"_s), qPrintable(err));
        QVERIFY(WaitUntil([&] { return camera.Camera().Received().ends_with("R" + FormatReadCommand(0x1F).toStdString()); }));
        const Run read = RunCli({u"--port"_s, Port(camera), u"read"_s});
        QVERIFY2(read.nExitCode == 0, qPrintable(read.strErr));
    }

    // A reader that goes away ("| head -2") used to kill the program with
    // SIGPIPE after the trigger, "U" or mid-image, and the camera answered no
    // read afterwards. Only that output ends now: the upgrade goes on.
    void aClosedOutputEndsOnlyThatOutput()
    {
        CameraFixture camera({}, QuickCamera());
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", QByteArray(3000, 'e')}, {"cn.font.flash", QByteArray(500, 'f')}});
        QProcess process;
        // Both outputs into a reader that takes one line and goes; the shell
        // answers with the program's own exit status (141 for SIGPIPE).
        process.start(u"bash"_s, {u"-c"_s, u"\"$0\" --port \"$1\" upgrade --no-restart \"$2\" 2>&1 | head -1; exit ${PIPESTATUS[0]}"_s,
                                  QStringLiteral(ORVANE_CLI), Port(camera), package});
        QVERIFY(process.waitForStarted());
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(camera.Camera().Images().size(), std::size_t(2));
        const Run read = RunCli({u"--port"_s, Port(camera), u"read"_s});
        QVERIFY2(read.nExitCode == 0, qPrintable(read.strErr));
    }

    // A second Ctrl-C does not wait for the filler: it stops at once and
    // says what state the camera is left in.
    void aSecondInterruptStopsAtOnce()
    {
        CameraFixture camera({}, QuickCamera());
        QTemporaryDir dir;
        QProcess process;
        QVERIFY(UpgradeUntilMidImage(process, camera, dir, 200000));
        ::kill(pid_t(process.processId()), SIGINT);
        QString out;
        QVERIFY(WaitUntil([&] {
            out += QString::fromUtf8(process.readAllStandardOutput());
            return out.contains(u"completing the image with filler"_s);
        }, 10000));
        QTest::qWait(700); // a stop repeated within 500 ms is the same one (timeout(1) sends two)
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 10000));
        QCOMPARE(process.exitCode(), 1);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.contains(u"stopped at once in the middle of an image"_s), qPrintable(err));
        QVERIFY(camera.Camera().Received().size() < 200000);
    }

    // Three cameras: one at 1200 baud on an echoing line, one at 115200, one
    // silent. Each port gets the twelve rates in turn, the chosen one first,
    // and nothing but read commands; the silent one is named as such.
    void scanFindsEachCameraAtItsRateWithReadsOnly()
    {
        CameraFixture slow({}, {}, OwnRate(1200, true));
        CameraFixture fast({}, {}, OwnRate(115200));
        CameraFaults mute;
        mute.bMute = true;
        CameraFixture silent(mute);
        slow.Camera().SetRegister(0x01, 0x21);
        const Run run = RunCli({u"--baud"_s, u"9600"_s, u"scan"_s, u"--json"_s, u"--port"_s, Port(slow), u"--port"_s,
                                Port(fast), u"--port"_s, Port(silent)});
        QVERIFY2(run.nExitCode == 0, qPrintable(run.strErr + run.strOut));
        QMap<QString, QJsonObject> byPort;
        for (const QString& line : run.strOut.split(u'\n', Qt::SkipEmptyParts)) {
            const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
            byPort[object[u"port"_s].toString()] = object;
        }
        QCOMPARE(byPort.size(), 3);
        const QJsonObject found1200 = byPort[Port(slow)];
        QCOMPARE(found1200[u"found"_s], QJsonValue(true));
        QCOMPARE(found1200[u"baud"_s], QJsonValue(1200));
        QCOMPARE(found1200[u"software"_s], QJsonValue(u"V2.1"_s));
        QCOMPARE(found1200[u"hardware"_s], QJsonValue(u"V1.2"_s));
        QCOMPARE(found1200[u"echo"_s], QJsonValue(true));
        QCOMPARE(byPort[Port(fast)][u"baud"_s], QJsonValue(115200));
        QCOMPARE(byPort[Port(fast)][u"echo"_s], QJsonValue(false));
        const QJsonObject none = byPort[Port(silent)];
        QCOMPARE(none.keys(), QStringList({u"baud"_s, u"echo"_s, u"error"_s, u"found"_s, u"hardware"_s, u"port"_s,
                                           u"software"_s, u"unusual"_s}));
        QCOMPARE(none[u"found"_s], QJsonValue(false));
        for (const char16_t* key : {u"baud", u"hardware", u"software", u"echo", u"error"})
            QVERIFY(none[QString::fromUtf16(key)].isNull());
        for (CameraFixture* camera : {&slow, &fast, &silent})
            QVERIFY2(OnlyReadCommands(camera->Camera().Received()), camera->Camera().Received().c_str());
        const std::vector<int> everyRate{9600, 115200, 19200, 38400, 57600, 4800, 2400, 56000, 43000, 1200, 600, 300};
        QCOMPARE(RatesHeard(silent.Camera()), everyRate);
        QCOMPARE(RatesHeard(fast.Camera()), std::vector<int>(everyRate.begin(), everyRate.begin() + 2));
        QVERIFY2(slow.Camera().Received().ends_with("r 001F \r\nr 0000 \r\nr 0001 \r\n"), slow.Camera().Received().c_str());
    }

    // Answers later than a read waits used to be taken, one behind, for the
    // next register's: the scan printed wrong versions. One answer lost at
    // the camera's rate used to cost the camera. Now a try is confirmed by
    // a quiet line after its last answer, and one that heard something is
    // made again.
    void scanTakesOnlyAnswersToItsOwnRequests_data()
    {
        QTest::addColumn<int>("ownRate");
        QTest::addColumn<int>("replyDelayMs");
        QTest::addColumn<int>("lostOnce"); // register whose first answer is lost, or -1
        QTest::addColumn<int>("foundAt");  // 0: any rate
        QTest::newRow("answers a little late") << 0 << 180 << -1 << 0;
        QTest::newRow("one answer lost") << 9600 << 0 << 0x00 << 9600;
        QTest::newRow("one answer cut short") << 9600 << 0 << 0x01 << 9600;
    }

    void scanTakesOnlyAnswersToItsOwnRequests()
    {
        QFETCH(int, ownRate);
        QFETCH(int, replyDelayMs);
        QFETCH(int, lostOnce);
        QFETCH(int, foundAt);
        CameraFaults faults;
        faults.nReplyDelayMs = replyDelayMs;
        if (lostOnce >= 0)
            faults.replyFaults.push_back(
                {lostOnce == 0x00 ? ReplyFault::Kind::DropReply : ReplyFault::Kind::DropChar, lostOnce, true});
        CameraFixture camera(faults, {}, OwnRate(ownRate));
        camera.Camera().SetRegister(0x00, 0x15);
        camera.Camera().SetRegister(0x01, 0x26);
        const Run run = RunCli({u"--baud"_s, u"9600"_s, u"scan"_s, u"--json"_s, u"--port"_s, Port(camera)});
        QVERIFY2(run.nExitCode == 0, qPrintable(run.strOut + run.strErr));
        const QJsonObject found = QJsonDocument::fromJson(run.strOut.toUtf8()).object();
        QCOMPARE(found[u"hardware"_s], QJsonValue(u"V1.5"_s));
        QCOMPARE(found[u"software"_s], QJsonValue(u"V2.6"_s));
        if (foundAt > 0)
            QCOMPARE(found[u"baud"_s], QJsonValue(foundAt));
        QVERIFY(OnlyReadCommands(camera.Camera().Received()));
    }

    void scanWithoutAnswerSaysWhatToCheck()
    {
        CameraFaults mute;
        mute.bMute = true;
        CameraFixture silent(mute);
        const Run run = RunCli({u"scan"_s, u"--port"_s, Port(silent), u"--port"_s, u"/dev/orvane-no-such-port"_s});
        QCOMPARE(run.nExitCode, 1);
        QVERIFY2(run.strOut.contains(Port(silent) + u": nothing answered at any rate\n"_s), qPrintable(run.strOut));
        QVERIFY(run.strOut.contains(u"/dev/orvane-no-such-port: cannot open: "_s));
        QVERIFY(run.strOut.contains(u"A and B may be swapped"_s));
        // A port that could not be opened is told apart from a silent one.
        const Run json = RunCli({u"scan"_s, u"--json"_s, u"--port"_s, u"/dev/orvane-no-such-port"_s});
        QCOMPARE(json.nExitCode, 1);
        const QJsonObject missing = QJsonDocument::fromJson(json.strOut.toUtf8()).object();
        QVERIFY2(missing[u"error"_s].toString().startsWith(u"cannot open: "_s), qPrintable(json.strOut));
        QVERIFY(!json.strOut.contains(u"A and B"_s));
    }

    // A line that speaks on its own used to be drained and asked again three
    // times at every rate: a port babbling "00" every 20 ms took 56 s to
    // search instead of its twelve waits. One try per rate now hears it.
    void scanOfALineThatSpeaksOnItsOwnTriesEachRateOnce_data()
    {
        QTest::addColumn<QByteArray>("chatter"); // empty: a steady flood of 'x'
        QTest::addColumn<int>("requestsPerRate");
        QTest::newRow("00 every 20 ms") << QByteArray("00\r\n") << 3;
        QTest::newRow("a steady flood") << QByteArray() << 1;
    }

    void scanOfALineThatSpeaksOnItsOwnTriesEachRateOnce()
    {
        QFETCH(QByteArray, chatter);
        QFETCH(int, requestsPerRate);
        CameraFaults mute;
        mute.bMute = true;
        CameraFixture line(mute);
        if (chatter.isEmpty())
            line.Camera().SetFlood(true);
        else
            line.Camera().SetChatter(chatter.toStdString(), 20);
        const Run run = RunCli({u"scan"_s, u"--port"_s, Port(line)}, 120000);
        QCOMPARE(run.nExitCode, 1);
        QVERIFY2(run.strOut.contains(u"nothing answered at any rate"_s), qPrintable(run.strOut));
        // Counted in all: the simulator notes a rate change up to 20 ms late.
        const std::string received = line.Camera().Received();
        const auto requests = std::count(received.begin(), received.end(), 'r');
        QVERIFY2(requests <= 12 * requestsPerRate, qPrintable(u"%1 requests"_s.arg(requests)));
    }

    // A device that answers every line with two hex digits passes a search
    // as a camera; it is found, and named as unusual.
    void scanNamesAnswersUnusualForACamera()
    {
        CameraFixture odd;
        odd.Camera().SetRegister(0x00, 0x00);
        odd.Camera().SetRegister(0x01, 0x00);
        const Run run = RunCli({u"scan"_s, u"--port"_s, Port(odd)});
        QCOMPARE(run.nExitCode, 0);
        QVERIFY2(run.strOut.contains(u"software V0.0, hardware V0.0; unusual for a camera: hardware version V0.0, "
                                     "software version V0.0 (it may be another device)"_s),
                 qPrintable(run.strOut));
        const Run json = RunCli({u"scan"_s, u"--json"_s, u"--port"_s, Port(odd)});
        const QJsonObject found = QJsonDocument::fromJson(json.strOut.toUtf8()).object();
        QCOMPARE(found[u"unusual"_s].toArray().size(), 2);
        CameraFixture camera;
        const Run usual = RunCli({u"scan"_s, u"--json"_s, u"--port"_s, Port(camera)});
        QVERIFY2(QJsonDocument::fromJson(usual.strOut.toUtf8()).object()[u"unusual"_s].isNull(), qPrintable(usual.strOut));
    }

    // Ctrl-C ends a scan at once: the program is gone before the slow rates were tried.
    void anInterruptEndsAScanAtOnce()
    {
        CameraFaults mute;
        mute.bMute = true;
        CameraFixture silent(mute);
        QProcess process;
        process.start(QStringLiteral(ORVANE_CLI), {u"scan"_s, u"--port"_s, Port(silent)});
        QVERIFY(process.waitForStarted());
        QVERIFY(silent.WaitReceived("r 001F \r\nr 001F \r\n"));
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 10000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains(u"scan interrupted"_s));
        QVERIFY(RatesHeard(silent.Camera()).size() < 12);
        QVERIFY(OnlyReadCommands(silent.Camera().Received()));
    }

    // A camera whose firmware answers nothing, power-cycled while the
    // requests go out: every image of the package goes out whole (the one it
    // claims to run too: nothing was read), then it is restarted and verified.
    void recoveryTakesABrokenCameraThroughItsBootWindow()
    {
        PtyOptions powerCycled;
        powerCycled.nPowerCycleAfterMs = 1500;
        CameraFixture camera(BrokenFirmware(), QuickCamera(50), powerCycled);
        QTemporaryDir dir;
        // The version its registers would show, were it read, and an image
        // whose name carries none (that once counted as running already):
        // sent all the same.
        const QByteArray elf = "cam_V1.3.elf.flash\n" + QByteArray(3000, 'e');
        const QByteArray font(400, 'f');
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.3.elf.flash", elf}, {"cn.font.flash", font}, {"fpga.sof.flash", "sof"}});
        const Run run = RunCli({u"--port"_s, Port(camera), u"upgrade"_s, u"--recover"_s, package});
        QVERIFY2(run.nExitCode == 0, qPrintable(run.strErr + run.strOut));
        QVERIFY(run.strOut.contains(u"power the camera off and on now"_s));
        QVERIFY2(run.strOut.contains(u"recovered and verified: the camera now reports software V1.3, hardware V1.2"_s),
                 qPrintable(run.strOut));
        const std::vector<ReceivedImage> images = camera.Camera().Images();
        QCOMPARE(images.size(), std::size_t(3));
        QCOMPARE(QByteArray::fromStdString(images[0].bytes), elf);
        QCOMPARE(QByteArray::fromStdString(images[1].bytes), font);
        QCOMPARE(images[2].bytes, std::string("sof"));
        const std::string received = camera.Camera().Received();
        const std::size_t firstU = received.find('U');
        QVERIFY(firstU != std::string::npos);
        QCOMPARE(received.find_first_not_of('*'), firstU); // no read and no trigger before the boot window
    }

    void recoveryThatIsNeverAnsweredSendsOnlyRequests()
    {
        CameraFixture camera(BrokenFirmware(), QuickCamera());
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", QByteArray(500, 'e')}});
        const Run run = RunCli({u"--port"_s, Port(camera), u"upgrade"_s, u"--recover"_s, u"--recover-wait"_s, u"1"_s,
                                package});
        QCOMPARE(run.nExitCode, 1);
        QVERIFY2(run.strErr.contains(u"within 1 s; nothing but \"*****\" was sent"_s), qPrintable(run.strErr));
        const std::string received = camera.Camera().Received();
        QVERIFY(received.size() >= 5 * 5); // a request each 100 ms
        QCOMPARE(received, std::string(received.size(), '*'));
        QCOMPARE(received.size() % 5, std::size_t(0));
    }

    // Ctrl-C before the camera answered sends nothing more; in the middle of
    // the image it completes it as filler the camera refuses and releases it.
    void anInterruptDuringRecovery_data()
    {
        QTest::addColumn<int>("powerCycleAfterMs");
        QTest::newRow("before the camera answers") << -1;
        QTest::newRow("in the middle of the image") << 200;
    }

    void anInterruptDuringRecovery()
    {
        QFETCH(int, powerCycleAfterMs);
        PtyOptions options;
        options.nPowerCycleAfterMs = powerCycleAfterMs;
        CameraFixture camera(BrokenFirmware(), QuickCamera(), options);
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", QByteArray(60000, 'e')}});
        QProcess process;
        process.start(QStringLiteral(ORVANE_CLI),
                      {u"--port"_s, Port(camera), u"upgrade"_s, u"--recover"_s, u"--recover-wait"_s, u"30"_s, package});
        QVERIFY(process.waitForStarted());
        const std::string mark = powerCycleAfterMs < 0 ? std::string(15, '*') : std::string(500, 'e');
        QVERIFY(WaitUntil([&] { return camera.Camera().Received().find(mark) != std::string::npos; }, 20000));
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(process.exitCode(), 1);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        const std::string received = camera.Camera().Received();
        if (powerCycleAfterMs < 0) {
            QVERIFY2(err.contains(u"nothing but \"*****\" was sent"_s), qPrintable(err));
            QCOMPARE(received, std::string(received.size(), '*'));
        } else {
            QVERIFY2(err.contains(u"the camera refused it (E001) and was released"_s), qPrintable(err));
            QVERIFY(received.ends_with("R"));
            QCOMPARE(camera.Camera().Images().back().strVerdict, std::string("E001"));
        }
    }

    // The loss used to be told in the window's box words ("Application
    // Error: WARNING: read() Failed ... Port: 0").
    void aVanishedCameraIsToldInPlainWords()
    {
        PtyOptions vanishing;
        vanishing.nVanishAfterBytes = 3000;
        CameraFixture camera({}, QuickCamera(), vanishing);
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", QByteArray(20000, 'e')}});
        const Run run = RunCli({u"--port"_s, Port(camera), u"upgrade"_s, package}, 30000);
        QCOMPARE(run.nExitCode, 1);
        QVERIFY2(run.strErr.contains(u"cam_V1.4.elf.flash: %1 went away"_s.arg(Port(camera))), qPrintable(run.strErr));
        QVERIFY2(!run.strErr.contains(u"WARNING"_s) && !run.strErr.contains(u"Application Error"_s), qPrintable(run.strErr));
        // Cut off mid-image, the camera waits for the rest: a replug alone does not bring it back.
        QVERIFY2(run.strErr.contains(u" in the middle of an image: the camera may answer nothing until it is powered "
                                     "off and on"_s)
                     && run.strErr.endsWith(u"\norvane-cli: next step: "_s + kPowerCycleRetry + u'\n'),
                 qPrintable(run.strErr));
    }

    // COMn is looked up in the config.ini beside the program, as the window does.
    void aComPortIsMappedThroughConfigIni()
    {
        CameraFixture camera;
        QTemporaryDir dir;
        const QString program =
            CliBesideConfig(dir, "[Ports]\nCOM7=" + Port(camera).toUtf8() + "\nCOM8=/dev/orvane-no-such-device\n");
        QProcess process;
        process.start(program, {u"--port"_s, u"COM7"_s, u"read"_s});
        QVERIFY(process.waitForStarted());
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(process.readAllStandardOutput().contains("software_version        V1.3"));

        process.start(program, {u"ports"_s});
        QVERIFY(process.waitForStarted());
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
        const QString ports = QString::fromUtf8(process.readAllStandardOutput());
        QVERIFY2(ports.contains(u"  COM7 = "_s + Port(camera) + u'\n'), qPrintable(ports));
        QVERIFY2(ports.contains(u"  COM8 = /dev/orvane-no-such-device (missing)\n"_s), qPrintable(ports));
    }

    // A port that cannot be opened is named, with what to do about it.
    void aPortThatCannotBeOpenedSaysWhatToDo()
    {
        const Run run = RunCli({u"--port"_s, u"/dev/does-not-exist"_s, u"read"_s});
        QCOMPARE(run.nExitCode, 1);
        QCOMPARE(run.strErr, u"orvane-cli: cannot open /dev/does-not-exist: No such file or directory\n"
                              "orvane-cli: next step: "_s + kReplugAdapter + u'\n');

        CameraFixture camera;
        QSerialPort other; // another program holds the port
        other.setPortName(Port(camera));
        QVERIFY(other.open(QIODevice::ReadWrite));
        for (const QString& command : {u"read"_s, u"restart"_s}) {
            const Run held = RunCli({u"--port"_s, Port(camera), command});
            QCOMPARE(held.nExitCode, 1);
            // This test is the program that holds it: named, with its pid.
            QCOMPARE(held.strErr, u"orvane-cli: cannot open %1: Device or resource busy\n"
                                   "hint: %1 is held by tst_cli (pid %3): close it there (a terminal program, another "
                                   "orvane-cli or window), then retry\n"
                                   "orvane-cli: next step: %2\n"_s.arg(Port(camera), kFreePort)
                                      .arg(QCoreApplication::applicationPid()));
        }
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
