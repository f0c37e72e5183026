// orvane-cli provision against several simulated cameras at once.
#include "tests/support/camera_fixture.h"
#include "cli/cli_commands.h"
#include "tests/support/cli_run.h"
#include "tests/support/package_writer.h"
#include "core/protocol/checksum.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kImageName("cam_V1.4.elf.flash");

// An image that begins with its own name, so the simulated camera runs
// the version it names once restarted.
QByteArray NamedImage(int size)
{
    QByteArray image = kImageName + '\n';
    image += QByteArray(size - image.size(), 'e');
    return image;
}

// A package of one image that names its own version, in `dir`.
QString NamedImagePackage(const QTemporaryDir& dir, int imageSize)
{
    const QString package = dir.filePath(u"cam.pkg"_s);
    WritePackage(package, {{kImageName, NamedImage(imageSize)}});
    return package;
}

using Cameras = std::vector<std::unique_ptr<CameraFixture>>;

Cameras StartCameras(const std::vector<std::pair<CameraFaults, PtyOptions>>& kinds)
{
    Cameras cameras;
    for (const auto& [faults, options] : kinds)
        cameras.push_back(std::make_unique<CameraFixture>(faults, QuickCamera(0), options));
    return cameras;
}

QStringList PortArguments(const Cameras& cameras)
{
    QStringList arguments;
    for (const auto& camera : cameras)
        arguments << u"--port"_s << Port(*camera);
    return arguments;
}

// The report's lines by port.
std::map<QString, QJsonObject> ReportByPort(const QString& path, int* lines)
{
    std::map<QString, QJsonObject> byPort;
    *lines = 0;
    for (const QByteArray& line : FileBytes(path).split('\n')) {
        if (line.isEmpty())
            continue;
        ++*lines;
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        byPort[object[u"port"].toString()] = object;
    }
    return byPort;
}

constexpr char kSettings[] = R"({"format": 1, "brightness": 70, "gain": 20})";
const std::string kBrightnessWritten = "w 46 0012\r\n"; // 70, as kSettings asks

// How often `what` is in what the camera received.
std::size_t Count(CameraFixture& camera, const std::string& what)
{
    const std::string received = camera.Camera().Received();
    std::size_t count = 0;
    for (std::size_t at = received.find(what); at != std::string::npos; at = received.find(what, at + 1))
        ++count;
    return count;
}

const std::string kProbe = "r 001F \r\n";

// provision --watch of the cameras' ports with these options.
void StartWatch(QProcess& process, const Cameras& cameras, const QStringList& options)
{
    process.start(QStringLiteral(ORVANE_CLI), QStringList{u"provision"_s, u"--watch"_s} + options + PortArguments(cameras));
}

// Ctrl-C, and what the run printed.
QString InterruptWatch(QProcess& process)
{
    ::kill(pid_t(process.processId()), SIGINT);
    if (!WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000))
        return u"(still running)"_s;
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestProvision : public QObject {
    Q_OBJECT

private slots:
    // Three cameras, one of them from a ports file: each upgraded, restarted,
    // verified and configured; a second run finds nothing left to send and
    // adds its lines to the same report.
    void everyCameraIsUpgradedVerifiedAndConfigured()
    {
        Cameras cameras = StartCameras({{}, {}, {}});
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{kImageName, NamedImage(3000)}, {"readme.txt", "notes"}});
        const QString settings = WriteFile(dir, u"site.json"_s, kSettings);
        const QString portsFile = WriteFile(dir, u"ports.txt"_s, "# bench 2\n" + Port(*cameras[2]).toUtf8() + "  # left\n\n");
        const QString report = dir.filePath(u"day.jsonl"_s);
        // The package and the settings as named from the folder they lie in:
        // the report names them in full all the same.
        const QStringList arguments = QStringList{u"provision"_s, u"--port"_s, Port(*cameras[0]), u"--port"_s,
                                                  Port(*cameras[1]), u"--ports-file"_s, portsFile, u"--upgrade"_s,
                                                  u"cam.pkg"_s, u"--apply"_s, u"site.json"_s, u"--report"_s, report};
        const Run run = RunCli(arguments, 120000, dir.path());
        QVERIFY2(run.nExitCode == 0, qPrintable(run.strOut + run.strErr));
        QVERIFY2(run.strOut.contains(u"3 of 3 camera(s) provisioned, 0 failed"_s), qPrintable(run.strOut));

        int lines = 0;
        std::map<QString, QJsonObject> byPort = ReportByPort(report, &lines);
        QCOMPARE(lines, 3);
        for (const auto& camera : cameras) {
            const QJsonObject line = byPort[Port(*camera)];
            QCOMPARE(line[u"result"], QJsonValue(u"ok"_s));
            QCOMPARE(line[u"package"], QJsonValue(QFileInfo(package).canonicalFilePath()));
            QCOMPARE(line[u"settings_file"], QJsonValue(QFileInfo(settings).canonicalFilePath()));
            QCOMPARE(line[u"next_step"], QJsonValue(QJsonValue::Null));
            QCOMPARE(line[u"before"][u"software"], QJsonValue(u"V1.3"_s));
            QCOMPARE(line[u"after"][u"software"], QJsonValue(u"V1.4"_s));
            QCOMPARE(line[u"after"][u"hardware"], QJsonValue(u"V1.2"_s));
            const QJsonObject image = line[u"images"].toArray().at(0).toObject();
            QCOMPARE(image[u"name"], QJsonValue(QString::fromLatin1(kImageName)));
            QCOMPARE(image[u"checksum"], QJsonValue(QString::number(ComputeChecksum(NamedImage(3000)), 16)));
            QCOMPARE(image[u"bytes"], QJsonValue(3000));
            QVERIFY(image[u"bytes_per_second"].toInt() > 0);
            QVERIFY(line[u"settings_applied"].toArray().contains(u"brightness"_s));
            QCOMPARE(line[u"differences"], QJsonValue(QJsonArray()));
            QVERIFY(QDateTime::fromString(line[u"time"].toString(), Qt::ISODate).isValid());
            QCOMPARE(camera->Camera().Register(0x12), 70);
            QCOMPARE(camera->Camera().Register(0x10), 20);
            QCOMPARE(camera->Camera().Images().size(), 1u);
            QCOMPARE(camera->Camera().RestartCount(), 2); // the upgrade's trigger, then the restart that runs it
        }

        const Run again = RunCli(arguments, 60000, dir.path());
        QCOMPARE(again.nExitCode, 0);
        byPort = ReportByPort(report, &lines);
        QCOMPARE(lines, 6);
        for (const auto& camera : cameras) {
            QCOMPARE(byPort[Port(*camera)][u"images"], QJsonValue(QJsonArray()));
            QCOMPARE(camera->Camera().RestartCount(), 2);
        }
    }

    // A camera that still runs the old version, one that reports E002 and
    // one that vanishes mid-transfer each fail alone, named as such.
    void eachFailingCameraFailsAlone()
    {
        CameraFaults oldVersion;
        oldVersion.bKeepVersion = true;
        CameraFaults flashError;
        flashError.strUpgradeError = "E002";
        PtyOptions vanishing;
        vanishing.nVanishAfterBytes = 2500;
        Cameras cameras = StartCameras({{{}, {}}, {oldVersion, {}}, {flashError, {}}, {{}, vanishing}});
        QTemporaryDir dir;
        const QString package = NamedImagePackage(dir, 5000);
        const QString report = dir.filePath(u"day.jsonl"_s);
        const Run run = RunCli(QStringList{u"provision"_s, u"--upgrade"_s, package, u"--apply"_s,
                                           WriteFile(dir, u"site.json"_s, kSettings), u"--report"_s, report}
                                   + PortArguments(cameras),
                               120000);
        QVERIFY2(run.nExitCode == 1, qPrintable(run.strOut + run.strErr));
        QVERIFY2(run.strOut.contains(u"1 of 4 camera(s) provisioned, 3 failed"_s), qPrintable(run.strOut));
        int lines = 0;
        const std::map<QString, QJsonObject> byPort = ReportByPort(report, &lines);
        QCOMPARE(lines, 4);
        const auto reason = [&](int camera) { return byPort.at(Port(*cameras[camera]))[u"reason"].toString(); };
        QCOMPARE(byPort.at(Port(*cameras[0]))[u"result"], QJsonValue(u"ok"_s));
        QCOMPARE(reason(1), u"not verified: after the upgrade and a restart the camera reports software version V1.3 "
                             "where the package's image names V1.4"_s);
        QVERIFY2(reason(2).contains(u"the camera reported E002 (flash operation error)"_s), qPrintable(reason(2)));
        QVERIFY2(reason(3).contains(Port(*cameras[3]) + u" went away"_s)
                     && reason(3).endsWith(u" in the middle of an image: the camera may answer nothing until it is "
                                           "powered off and on"_s),
                 qPrintable(reason(3)));
        // Each failure says what to do next, in the report and below the summary.
        const QString nextSteps[] = {
            QString(),
            u"check that the package is meant for this camera, then run the upgrade again."_s,
            u"power the camera off and on and run the upgrade again (with 'orvane-cli upgrade --recover' if it "
            "answers no read); if it fails again, set the camera aside."_s,
            // Unplugged mid-image: the camera waits for the rest of it until it is powered off and on.
            u"power the camera off and on and run the upgrade again (with 'orvane-cli upgrade --recover' if it "
            "answers no read); if it fails again, set the camera aside."_s,
        };
        QCOMPARE(byPort.at(Port(*cameras[0]))[u"next_step"], QJsonValue(QJsonValue::Null));
        QVERIFY(!run.strOut.contains(Port(*cameras[0]) + u": next step"_s));
        for (int failed = 1; failed < 4; ++failed) {
            QCOMPARE(byPort.at(Port(*cameras[failed]))[u"next_step"], QJsonValue(nextSteps[failed]));
            const QString line = u"%1: next step: %2\n"_s.arg(Port(*cameras[failed]), nextSteps[failed]);
            QVERIFY2(run.strOut.contains(line), qPrintable(run.strOut));
        }
        for (int failed = 1; failed < 4; ++failed) {
            QCOMPARE(byPort.at(Port(*cameras[failed]))[u"result"], QJsonValue(u"failed"_s));
            QCOMPARE(cameras[failed]->Camera().Register(0x12), 0x32); // no settings after a failed upgrade
        }
        QCOMPARE(cameras[0]->Camera().Register(0x12), 70);
        QVERIFY(WaitUntil([&] { return cameras[2]->Camera().Received().ends_with("R"); })); // released after its report
        // Not read again after a failed upgrade: its first read stays its last.
        for (int failed : {2, 3}) {
            const QJsonObject& line = byPort.at(Port(*cameras[failed]));
            QCOMPARE(line[u"after"], line[u"before"]);
            QCOMPARE(line[u"after"][u"software"], QJsonValue(u"V1.3"_s));
        }
    }

    // An image whose name carries no version a camera shows cannot be
    // verified, and is sent on every run: said on standard error, in the
    // summary and in the report's notes. It used to pass as "ok" in silence.
    void aVersionThatCannotBeVerifiedIsNoted()
    {
        Cameras cameras = StartCameras({{}});
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4a.elf.flash", QByteArray(2000, 'e')}});
        const QString report = dir.filePath(u"day.jsonl"_s);
        const Run run = RunCli(QStringList{u"provision"_s, u"--upgrade"_s, package, u"--report"_s, report}
                               + PortArguments(cameras));
        QVERIFY2(run.nExitCode == 0, qPrintable(run.strOut + run.strErr));
        const QString note = u"not verified: cam_V1.4a.elf.flash names no version a camera shows"_s;
        QVERIFY2(run.strErr.contains(u"orvane-cli: note: "_s + note), qPrintable(run.strErr));
        QVERIFY2(run.strOut.contains(u"  ok; "_s + note), qPrintable(run.strOut));
        int lines = 0;
        const QJsonObject line = ReportByPort(report, &lines)[Port(*cameras[0])];
        QCOMPARE(line[u"result"], QJsonValue(u"ok"_s));
        const QJsonArray notes = line[u"notes"].toArray();
        QVERIFY2(std::any_of(notes.begin(), notes.end(), [&](const QJsonValue& v) { return v.toString().startsWith(note); }),
                 QJsonDocument(line).toJson().constData());
    }

    // Refused whole, before any port is opened: nothing reaches any camera.
    void aBadPlanSendsNothingAnywhere_data()
    {
        QTest::addColumn<QStringList>("arguments"); // %D: the test's folder
        QTest::addColumn<QString>("message");
        QTest::newRow("settings") << QStringList{u"--apply"_s, u"%D/bad.json"_s} << u"unknown key \"sharpnes\""_s;
        QTest::newRow("package") << QStringList{u"--upgrade"_s, u"%D/bad.json"_s} << u"is not an upgrade package"_s;
        QTest::newRow("ports file") << QStringList{u"--ports-file"_s, u"%D/none"_s, u"--apply"_s, u"%D/good.json"_s}
                                    << u"cannot read %D/none"_s;
        QTest::newRow("report") << QStringList{u"--report"_s, u"%D/no/such/folder/r.jsonl"_s, u"--apply"_s,
                                               u"%D/good.json"_s}
                                << u"cannot write the report"_s;
        // A FIFO without a reader held the run in its open for ever, before any port.
        QTest::newRow("report FIFO") << QStringList{u"--report"_s, u"%D/fifo"_s, u"--apply"_s, u"%D/good.json"_s}
                                     << u"cannot write the report %D/fifo: not a regular file"_s;
        QTest::newRow("report device") << QStringList{u"--report"_s, u"/dev/full"_s, u"--apply"_s, u"%D/good.json"_s}
                                       << u"cannot write the report /dev/full: not a regular file"_s;
        QTest::newRow("nothing to do") << QStringList{} << u"provision needs --upgrade PACKAGE, --apply SETTINGS or both"_s;
    }

    void aBadPlanSendsNothingAnywhere()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        Cameras cameras = StartCameras({{}, {}});
        QTemporaryDir dir;
        WriteFile(dir, u"bad.json"_s, R"({"format": 1, "sharpnes": 3})");
        WriteFile(dir, u"good.json"_s, kSettings);
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(u"fifo"_s)).constData(), 0600), 0);
        for (QString& argument : arguments)
            argument.replace(u"%D"_s, dir.path());
        message.replace(u"%D"_s, dir.path());
        const Run run = RunCli(QStringList{u"provision"_s} + PortArguments(cameras) + arguments, 20000);
        QCOMPARE(run.nExitCode, 2);
        QVERIFY2(run.strErr.contains(message), qPrintable(run.strErr));
        // The line of a port that was opened would carry the read's first request.
        for (const auto& camera : cameras)
            QCOMPARE(camera->Camera().Received(), std::string());
    }

    // A camera whose thread the system will not start (too many threads for
    // the user, as under prlimit --nproc) fails alone, saying so, and the
    // run ends: it used to wait for that camera for ever. Run in this
    // process, where a stack size below the system's least makes the start
    // fail as a refused thread does.
    void aCameraWithoutAThreadFailsAlone()
    {
        Cameras cameras = StartCameras({{}, {}, {}});
        QTemporaryDir dir;
        CliOptions options;
        options.command = CliOptions::Command::Provision;
        for (const auto& camera : cameras)
            options.ports.append(Port(*camera));
        options.strSettings = WriteFile(dir, u"site.json"_s, kSettings);
        options.strReport = dir.filePath(u"day.jsonl"_s);
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        CliStreams io{outStream, errStream};
        QTimer hung; // ends the test program rather than wait for ctest's limit
        hung.callOnTimeout([] { qFatal("the provisioning run did not end"); });
        hung.start(60000);
        const int exitCode = RunProvision(options, io, [](int camera, QThread& thread) {
            if (camera == 1)
                thread.setStackSize(1);
        });
        hung.stop();
        QCOMPARE(exitCode, 1);
        QVERIFY2(out.contains(u"2 of 3 camera(s) provisioned, 1 failed"_s), qPrintable(out));
        int lines = 0;
        const std::map<QString, QJsonObject> byPort = ReportByPort(options.strReport, &lines);
        QCOMPARE(lines, 3);
        const QJsonObject threadless = byPort.at(options.ports[1]);
        QCOMPARE(threadless[u"result"], QJsonValue(u"failed"_s));
        QVERIFY2(threadless[u"reason"].toString().contains(u"thread"_s), qPrintable(threadless[u"reason"].toString()));
        QVERIFY2(out.contains(u"FAILED: "_s + threadless[u"reason"].toString()), qPrintable(out));
        QCOMPARE(cameras[1]->Camera().Received(), std::string());
        for (int ok : {0, 2}) {
            QCOMPARE(byPort.at(options.ports[ok])[u"result"], QJsonValue(u"ok"_s));
            QCOMPARE(cameras[ok]->Camera().Register(0x12), 70);
        }
    }

    // A port that goes away while the run waits for the restarted camera is
    // said to be gone, with the time since the restart; it used to read "not
    // back 30 s after its restart" a few seconds in.
    void aPortGoneAfterTheRestartIsSaidSo_data()
    {
        QTest::addColumn<bool>("whileReading"); // else during the pause before the port is opened again
        QTest::addColumn<QString>("what");
        QTest::newRow("before the reopen") << false << u"could not be opened again: cannot open %P"_s;
        QTest::newRow("while reading") << true << u"%P went away"_s;
    }

    void aPortGoneAfterTheRestartIsSaidSo()
    {
        QFETCH(bool, whileReading);
        QFETCH(QString, what);
        CameraFixture camera({}, QuickCamera(0));
        // By the fixture's link, gone with the camera: the terminal's number
        // may be another program's camera by the time the port is opened again.
        const QString port = camera.Device();
        QTemporaryDir dir;
        const QString package = NamedImagePackage(dir, 1000);
        const QString report = dir.filePath(u"day.jsonl"_s);
        QProcess process;
        process.start(QStringLiteral(ORVANE_CLI),
                      {u"provision"_s, u"--port"_s, port, u"--upgrade"_s, package, u"--report"_s, report});
        QVERIFY(process.waitForStarted());
        QVERIFY(WaitUntil([&] { return camera.Camera().RestartCount() == 2; }, 30000)); // the one that runs the image
        const std::size_t received = camera.Camera().Received().size();
        if (whileReading) {
            camera.Camera().SetFlood(true); // no read succeeds
            QVERIFY(WaitUntil([&] { return camera.Camera().Received().size() > received; }, 10000));
        }
        camera.Camera().Vanish();
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 15000));
        QCOMPARE(process.exitCode(), 1);
        int lines = 0;
        const QString reason = ReportByPort(report, &lines)[port][u"reason"].toString();
        QVERIFY2(reason.contains(what.replace(u"%P"_s, port)) && !reason.contains(u"30 s"_s), qPrintable(reason));
        const QRegularExpressionMatch seconds = QRegularExpression(u"^([0-9.]+) s after the camera's restart"_s).match(reason);
        QVERIFY2(seconds.hasMatch(), qPrintable(reason));
        QVERIFY2(seconds.captured(1).toDouble() >= 2.0, qPrintable(reason)); // the pause before the port is opened again
    }

    // Gone while the camera restarted for its image, before any of it went
    // out: nothing to power off and on for, the adapter is to be plugged in
    // again. It used to be told as lost in the middle of an image.
    void aPortGoneBeforeTheImageIsSaidSo()
    {
        CameraTiming slow = QuickCamera(0);
        slow.nRestartSilenceMs = 5000; // the requests go unanswered for a while
        CameraFixture camera({}, slow);
        const QString port = camera.Device(); // the fixture's link, gone with the camera
        QTemporaryDir dir;
        const QString report = dir.filePath(u"day.jsonl"_s);
        QProcess process;
        process.start(QStringLiteral(ORVANE_CLI), {u"provision"_s, u"--port"_s, port, u"--upgrade"_s,
                                                   NamedImagePackage(dir, 1000), u"--report"_s, report});
        QVERIFY(WaitUntil([&] { return camera.Camera().RestartCount() == 1; }, 30000));
        camera.Camera().Vanish();
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 15000));
        QCOMPARE(process.exitCode(), 1);
        int lines = 0;
        const QJsonObject line = ReportByPort(report, &lines)[port];
        QVERIFY2(line[u"reason"].toString().contains(port + u" went away"_s)
                     && line[u"reason"].toString().endsWith(u" before the image went out: none of it reached the camera"_s),
                 qPrintable(line[u"reason"].toString()));
        QVERIFY2(line[u"next_step"].toString().startsWith(u"plug the adapter in again"_s),
                 qPrintable(line[u"next_step"].toString()));
    }

    // A ports file as a technician writes it, on Windows too: a byte order
    // mark, CR LF, a line without a comment, blank lines, no line end at the
    // end. Plain lines used to be dropped, and the run provisioned the --port
    // camera alone as if it were the whole bench.
    void aPortsFileWrittenByHandNamesEveryCamera()
    {
        Cameras cameras = StartCameras({{}, {}, {}});
        QTemporaryDir dir;
        const QString portsFile = WriteFile(dir, u"ports.txt"_s,
                                            "\xEF\xBB\xBF" + Port(*cameras[1]).toUtf8() + "\r\n\r\n  # spare\r\n\t"
                                                + Port(*cameras[2]).toUtf8());
        const Run run = RunCli({u"provision"_s, u"--port"_s, Port(*cameras[0]), u"--ports-file"_s, portsFile,
                                u"--apply"_s, WriteFile(dir, u"site.json"_s, kSettings)});
        QVERIFY2(run.nExitCode == 0, qPrintable(run.strOut + run.strErr));
        QVERIFY2(run.strOut.contains(u"3 of 3 camera(s) provisioned, 0 failed"_s), qPrintable(run.strOut));
        for (const auto& camera : cameras)
            QCOMPARE(camera->Camera().Register(0x12), 70);
    }

    // One device under two names would be opened twice, by two threads at
    // once. %P: the camera's device, %D: the test's folder, where "link"
    // leads to the device and config.ini maps COM7 to that link.
    void oneDeviceUnderTwoNamesIsRefused_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("the same name") << u"%P"_s << u"%P"_s;
        QTest::newRow("a link and its target") << u"%D/link"_s << u"%P"_s;
        QTest::newRow("a doubled slash") << u"%P"_s << u"/dev//pts/%N"_s;
        QTest::newRow("a dot") << u"/dev/pts/./%N"_s << u"%P"_s;
        QTest::newRow("COMn mapped to a link") << u"%P"_s << u"COM7"_s;
        // Scheme and host name in any case: one server port, refused before anything connects.
        QTest::newRow("a server in capitals") << u"rfc2217://127.0.0.1:4001"_s << u"RFC2217://LOCALHOST:4001"_s;
    }

    void oneDeviceUnderTwoNamesIsRefused()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        Cameras cameras = StartCameras({{}});
        const QString device = Port(*cameras[0]);
        QVERIFY2(device.startsWith(u"/dev/pts/"_s), qPrintable(device));
        QTemporaryDir dir;
        QVERIFY(QFile::link(device, dir.filePath(u"link"_s)));
        const QString program = CliBesideConfig(dir, "[Ports]\nCOM7=" + dir.filePath(u"link"_s).toUtf8() + "\n");
        for (QString* name : {&first, &second})
            name->replace(u"%P"_s, device).replace(u"%D"_s, dir.path()).replace(u"%N"_s, device.mid(9));
        const Run run = RunCli({u"provision"_s, u"--port"_s, first, u"--port"_s, second, u"--apply"_s,
                                WriteFile(dir, u"site.json"_s, kSettings)},
                               20000, QString(), [&program](QProcess& process) { process.setProgram(program); });
        QCOMPARE(run.nExitCode, 2);
        QVERIFY2(run.strErr.contains(first) && run.strErr.contains(second) && run.strErr.contains(u"same device"_s),
                 qPrintable(run.strErr));
        QCOMPARE(cameras[0]->Camera().Received(), std::string());
    }

    // A report that cannot take its lines is said, and the run is no success.
    // The report may grow by a few bytes only: the size limit of the
    // program's files, as a shell's "ulimit -f" sets it, with SIGXFSZ as the
    // shell leaves it (it ends a program by default). The program used to be
    // ended by it, half a line left in the report.
    void aReportThatCannotBeWrittenIsNoSuccess()
    {
        Cameras cameras = StartCameras({{}});
        QTemporaryDir dir;
        const QByteArray before = QByteArray(100, 'x') + '\n';
        const QString report = WriteFile(dir, u"day.jsonl"_s, before);
        const Run run = RunCli(QStringList{u"provision"_s, u"--apply"_s, WriteFile(dir, u"site.json"_s, kSettings),
                                           u"--report"_s, report}
                                   + PortArguments(cameras),
                               60000, QString(), [](QProcess& process) {
                                   process.setChildProcessModifier([] {
                                       std::signal(SIGXFSZ, SIG_DFL);
                                       const rlimit limit{121, 121};
                                       ::setrlimit(RLIMIT_FSIZE, &limit);
                                   });
                               });
        QCOMPARE(run.nExitCode, 1);
        QCOMPARE(FileBytes(report), before);
        QVERIFY2(run.strErr.contains(u"cannot write the report %1: File too large"_s.arg(report)), qPrintable(run.strErr));
        QVERIFY2(run.strOut.contains(u"1 of 1 camera(s) provisioned, 0 failed"_s), qPrintable(run.strOut));
        QCOMPARE(cameras[0]->Camera().Register(0x12), 70);
    }

    // provision --watch: a camera that starts answering is provisioned once;
    // while it stays, it is only probed; once it has gone quiet, the next
    // camera on that port is provisioned too. A port where nothing answers
    // gets read commands only, and Ctrl-C ends with the summary.
    void watchProvisionsEachCameraPluggedIn()
    {
        Cameras cameras = StartCameras({{}, {}});
        CameraFixture& slot = *cameras[0];
        slot.Camera().SetMute(true); // nothing plugged in yet
        cameras[1]->Camera().SetMute(true);
        QTemporaryDir dir;
        const QString report = dir.filePath(u"shift.jsonl"_s);
        QProcess process;
        StartWatch(process, cameras, {u"--apply"_s, WriteFile(dir, u"site.json"_s, kSettings), u"--report"_s, report});
        QVERIFY(process.waitForStarted());
        const auto probes = [](CameraFixture& camera) { return Count(camera, kProbe); };
        const auto reportLines = [&] { return FileBytes(report).count('\n'); };
        QVERIFY(WaitUntil([&] { return probes(slot) >= 2; }, 10000));
        QCOMPARE(reportLines(), 0);

        slot.Camera().SetMute(false); // plugged in
        QVERIFY(WaitUntil([&] { return reportLines() == 1; }, 30000));
        QCOMPARE(slot.Camera().Register(0x12), 70);
        // Left in place: three more probes, and nothing else. Counted from
        // the end of the last whole command: a probe may be coming in.
        const std::size_t afterRun = slot.Camera().Received().rfind("\r\n") + 2;
        const std::size_t probed = probes(slot);
        QVERIFY(WaitUntil([&] { return probes(slot) >= probed + 3; }, 10000));
        QVERIFY2(OnlyReadCommands(slot.Camera().Received().substr(afterRun)), slot.Camera().Received().c_str());

        slot.Camera().SetMute(true); // unplugged; the next one comes with its own settings
        const std::size_t beforeGone = probes(slot);
        QVERIFY(WaitUntil([&] { return probes(slot) >= beforeGone + 4; }, 10000));
        QCOMPARE(reportLines(), 1);
        slot.Camera().SetRegister(0x12, 50);
        slot.Camera().SetMute(false);
        QVERIFY(WaitUntil([&] { return reportLines() == 2; }, 30000));
        QCOMPARE(slot.Camera().Register(0x12), 70);
        QVERIFY(OnlyReadCommands(cameras[1]->Camera().Received()));

        const QString out = InterruptWatch(process);
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(process.exitCode() == 0, qPrintable(out + QString::fromUtf8(process.readAllStandardError())));
        QVERIFY2(out.contains(u"passed 2, failed 0\n"_s), qPrintable(out));
        QVERIFY2(out.contains(u"waiting for a camera"_s) && out.contains(u"done, unplug"_s), qPrintable(out));
        // The summary: both cameras of the first port, none of the other.
        const QString summary = out.section(u"\n\n"_s, -1);
        QCOMPARE(summary.count(Port(slot)), 2);
        QCOMPARE(summary.count(Port(*cameras[1])), 0);
    }

    // Two watches of one port: the one that found the camera holds the port
    // through its run, restart included, and after it; the other waits and
    // says why, and the camera is set once. The port used to be let go while
    // the camera restarted: the other watch took it, set the camera and
    // called it passed, while the first failed.
    void aWatchedPortIsHeldThroughItsCamerasRun()
    {
        Cameras cameras = StartCameras({{}});
        CameraFixture& camera = *cameras[0];
        QTemporaryDir dir;
        const QStringList options{u"--upgrade"_s, NamedImagePackage(dir, 1000), u"--apply"_s,
                                  WriteFile(dir, u"site.json"_s, kSettings)};
        const QString firstReport = dir.filePath(u"first.jsonl"_s);
        const QString secondReport = dir.filePath(u"second.jsonl"_s);
        QProcess first;
        StartWatch(first, cameras, options + QStringList{u"--report"_s, firstReport});
        QVERIFY(WaitUntil([&] { return camera.Camera().RestartCount() >= 1; }, 30000)); // under way
        QProcess second;
        StartWatch(second, cameras, options + QStringList{u"--report"_s, secondReport});
        QVERIFY(WaitUntil([&] { return FileBytes(firstReport).count('\n') == 1; }, 60000));
        const std::size_t probed = Count(camera, kProbe);
        QVERIFY(WaitUntil([&] { return Count(camera, kProbe) >= probed + 3; }, 10000)); // the first still watches
        int lines = 0;
        QVERIFY2(ReportByPort(firstReport, &lines)[Port(camera)][u"result"] == u"ok"_s, FileBytes(firstReport).constData());
        QVERIFY2(FileBytes(secondReport).isEmpty(), FileBytes(secondReport).constData());
        QCOMPARE(Count(camera, kBrightnessWritten), std::size_t(1));

        const QString secondOut = InterruptWatch(second);
        QVERIFY2(secondOut.contains(u"port held by another program, waiting for it"_s), qPrintable(secondOut));
        QCOMPARE(second.exitCode(), 0);
        const QString firstOut = InterruptWatch(first);
        QVERIFY2(first.exitCode() == 0 && firstOut.contains(u"passed 1, failed 0\n"_s), qPrintable(firstOut));
        QCOMPARE(camera.Camera().RestartCount(), 2); // the image's trigger, the restart after it
    }

    // A camera whose run failed while it was silent from the run's own
    // trigger (it takes longer to start than the requests wait) is not taken
    // for unplugged when its silence lasts: once it answers again it is the
    // same camera, left for the operator. It used to be provisioned again
    // and again, a failed run each time.
    void aCameraStillStartingAfterAFailedRunIsNotProvisionedAgain()
    {
        CameraTiming slow = QuickCamera(0);
        slow.nRestartSilenceMs = 15000;
        CameraFixture camera({}, slow);
        QTemporaryDir dir;
        const QString report = dir.filePath(u"shift.jsonl"_s);
        QProcess process;
        process.start(QStringLiteral(ORVANE_CLI), {u"provision"_s, u"--watch"_s, u"--upgrade"_s,
                                                   NamedImagePackage(dir, 1000), u"--report"_s, report, u"--port"_s,
                                                   Port(camera)});
        QVERIFY(WaitUntil([&] { return FileBytes(report).count('\n') == 1; }, 60000));
        int lines = 0;
        QCOMPARE(ReportByPort(report, &lines)[Port(camera)][u"result"].toString(), u"failed"_s);
        // Past its silence, answering, and left in place: probes only.
        const std::size_t probed = Count(camera, kProbe);
        const std::size_t writes = Count(camera, "w ");
        const std::size_t requests = Count(camera, "*");
        QVERIFY(WaitUntil([&] { return Count(camera, kProbe) >= probed + 16; }, 40000));
        QCOMPARE(Count(camera, "w "), writes);
        QCOMPARE(Count(camera, "*"), requests);
        QCOMPARE(camera.Camera().RestartCount(), 1);
        const QString out = InterruptWatch(process);
        QVERIFY2(process.exitCode() == 1 && out.contains(u"passed 0, failed 1\n"_s), qPrintable(out));
    }

    // A camera taken away in the middle of its read (its run fails, no
    // restart of its own) is gone after three silent probes, as any other:
    // the next one on the port is provisioned. The wait for a restarting
    // camera used to follow every failed run, and the next camera plugged in
    // within it was taken for the failed one.
    void theNextCameraAfterAFailedRunWithoutARestartIsProvisioned()
    {
        CameraFaults slow;
        slow.nReplyDelayMs = 150; // a read of every register takes seconds
        Cameras cameras = StartCameras({{slow, {}}});
        CameraFixture& camera = *cameras[0];
        QTemporaryDir dir;
        const QString report = dir.filePath(u"shift.jsonl"_s);
        QProcess process;
        StartWatch(process, cameras, {u"--apply"_s, WriteFile(dir, u"site.json"_s, kSettings), u"--report"_s, report});
        QVERIFY(WaitUntil([&] { return Count(camera, "r 0012 \r\n") > 0; }, 30000)); // its read is under way
        camera.Camera().SetMute(true); // taken away
        QVERIFY(WaitUntil([&] { return FileBytes(report).count('\n') == 1; }, 30000));
        const std::size_t probed = Count(camera, kProbe);
        QVERIFY(WaitUntil([&] { return Count(camera, kProbe) >= probed + 4; }, 15000));
        camera.Camera().SetMute(false); // the next one
        QVERIFY(WaitUntil([&] { return FileBytes(report).count('\n') == 2; }, 30000));
        const QString out = InterruptWatch(process);
        QVERIFY2(out.contains(u"passed 1, failed 1\n"_s), qPrintable(out));
    }

    void aPortReplacedWhileTheCameraRestartsIsNoProof_data()
    {
        QTest::addColumn<bool>("backInThePause");
        QTest::addColumn<QString>("reason");
        QTest::newRow("back within the pause") << true << u"went away while the camera restarted and came back"_s;
        QTest::newRow("back after the pause") << false << u"its port could not be opened again"_s;
    }

    // A watched port goes away while the camera restarts after its image,
    // and comes back with another camera on it: what answers there proves
    // nothing of the first one's upgrade, which fails; the other camera is
    // provisioned once, as a new one. It used to be verified by the other
    // camera's versions and reported ok; then (back within the pause) the
    // new camera was provisioned again every two seconds, or (back later)
    // the port was never opened again.
    void aPortReplacedWhileTheCameraRestartsIsNoProof()
    {
        QFETCH(bool, backInThePause);
        QFETCH(QString, reason);
        CameraFixture first({}, QuickCamera(0));
        CameraFixture other({}, QuickCamera(0));
        QTemporaryDir dir;
        const QString port = dir.filePath(u"camera"_s);
        QVERIFY(QFile::link(Port(first), port));
        const QString report = dir.filePath(u"day.jsonl"_s);
        QProcess process;
        process.start(QStringLiteral(ORVANE_CLI), {u"provision"_s, u"--watch"_s, u"--port"_s, port, u"--upgrade"_s,
                                                   NamedImagePackage(dir, 1000), u"--apply"_s,
                                                   WriteFile(dir, u"site.json"_s, kSettings), u"--report"_s, report});
        QVERIFY(WaitUntil([&] { return first.Camera().RestartCount() == 2; }, 30000)); // after its image
        QVERIFY(QFile::remove(port));
        first.Camera().Vanish();
        const auto lines = [&] { return FileBytes(report).count('\n'); };
        if (!backInThePause)
            QVERIFY(WaitUntil([&] { return lines() == 1; }, 30000));
        QVERIFY(QFile::link(Port(other), port));
        QVERIFY(WaitUntil([&] { return lines() == 2; }, 30000));
        const std::size_t probed = Count(other, kProbe);
        QVERIFY(WaitUntil([&] { return Count(other, kProbe) >= probed + 4; }, 15000));
        QCOMPARE(lines(), 2);
        QCOMPARE(Count(other, kBrightnessWritten), std::size_t(1));

        const QString out = InterruptWatch(process);
        QVERIFY2(out.contains(u"passed 1, failed 1\n"_s), qPrintable(out));
        int count = 0;
        const QList<QByteArray> reportLines = FileBytes(report).split('\n');
        const QString firstReason = QJsonDocument::fromJson(reportLines[0]).object()[u"reason"].toString();
        QVERIFY2(firstReason.contains(reason), qPrintable(firstReason));
        QCOMPARE(ReportByPort(report, &count)[port][u"result"].toString(), u"ok"_s); // the last line: the other camera
    }

    // Ctrl-C in the middle of three transfers: every image is completed with
    // filler the camera refuses, every camera is released and reported as
    // interrupted.
    void ctrlCReleasesEveryCamera()
    {
        Cameras cameras = StartCameras({{}, {}, {}});
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{kImageName, NamedImage(60000)}});
        const QString report = dir.filePath(u"day.jsonl"_s);
        QProcess process;
        process.start(QStringLiteral(ORVANE_CLI),
                      QStringList{u"provision"_s, u"--upgrade"_s, package, u"--report"_s, report} + PortArguments(cameras));
        QVERIFY(process.waitForStarted());
        QVERIFY(WaitUntil([&] {
            return std::all_of(cameras.begin(), cameras.end(), [](const auto& camera) {
                return camera->Camera().Received().find(std::string(500, 'e')) != std::string::npos;
            });
        }, 30000));
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        int lines = 0;
        const std::map<QString, QJsonObject> byPort = ReportByPort(report, &lines);
        QCOMPARE(lines, 3);
        for (const auto& camera : cameras) {
            QVERIFY(WaitUntil([&] { return camera->Camera().Received().ends_with("R"); }));
            QCOMPARE(camera->Camera().Images().size(), std::size_t(1));
            QCOMPARE(camera->Camera().Images().back().strVerdict, std::string("E001"));
            QVERIFY(byPort.at(Port(*camera))[u"reason"].toString().contains(u"interrupted"_s));
        }
    }
};

QTEST_GUILESS_MAIN(TestProvision)
#include "tst_provision.moc"
