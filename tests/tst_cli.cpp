// orvane-cli as a technician runs it, against the simulated camera on a
// pseudo-terminal.
#include "tests/support/camera_fixture.h"
#include "tests/support/package_writer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int nExitCode = -1;
    QString strOut;
    QString strErr;
};

// Runs orvane-cli with the arguments; the simulator keeps running meanwhile.
Run RunCli(const QStringList& arguments, int timeoutMs = 60000)
{
    QProcess process;
    process.start(QStringLiteral(ORVANE_CLI), arguments);
    Run run;
    if (!process.waitForStarted() || !WaitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.strErr = u"did not finish"_s;
        return run;
    }
    run.nExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.strOut = QString::fromUtf8(process.readAllStandardOutput());
    run.strErr = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString Port(CameraFixture& camera)
{
    return QString::fromStdString(camera.Camera().DevicePath());
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
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

    void aBadFileOrUsageSendsNothing_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown key") << QByteArray(R"({"format": 1, "sharpnes": 3})") << u"unknown key \"sharpnes\""_s;
        QTest::newRow("300") << QByteArray(R"({"format": 1, "brightness": 300})") << u"\"brightness\": 300"_s;
        QTest::newRow("broken") << QByteArray("{\"format\": 1, ") << u"not JSON"_s;
    }

    void aBadFileOrUsageSendsNothing()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        CameraFixture camera;
        QTemporaryDir dir;
        const Run run = RunCli({u"--port"_s, Port(camera), u"apply"_s, WriteFile(dir, u"bad.json"_s, file)});
        QCOMPARE(run.nExitCode, 2);
        QVERIFY2(run.strErr.contains(message), qPrintable(run.strErr));
        QCOMPARE(RunCli({u"--port"_s, Port(camera), u"--baud"_s, u"x"_s, u"read"_s}).nExitCode, 2);
        const Run zip = RunCli({u"--port"_s, Port(camera), u"upgrade"_s,
                                WriteFile(dir, u"plain.zip"_s, ZipArchive({{"cam.elf.flash", "image"}}))});
        QCOMPARE(zip.nExitCode, 2);
        QVERIFY2(zip.strErr.contains(u"is not an upgrade package (it does not start with \"QZ\")"_s), qPrintable(zip.strErr));
        // The port was never opened: a marker of the test's own is the first thing the camera receives.
        QFile device(Port(camera));
        QVERIFY(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        device.write("#marker#");
        QVERIFY(camera.WaitReceived("#marker#"));
    }

    void upgradeSendsEveryImage()
    {
        CameraTiming quick;
        quick.nRestartSilenceMs = 100;
        quick.nFlashMs = 50;
        CameraFixture camera({}, quick);
        QTemporaryDir dir;
        QByteArray elf(2500, '\0');
        for (int i = 0; i < elf.size(); ++i)
            elf[i] = char(i * 7);
        const QByteArray font(300, 'f');
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.3.elf.flash", "the camera runs it"}, {"cam_V1.4.elf.flash", elf},
                               {"readme.txt", "notes"}, {"cn.font.flash", font}});
        const Run run = RunCli({u"--port"_s, Port(camera), u"upgrade"_s, package});
        QCOMPARE(run.nExitCode, 0);
        const std::vector<ReceivedImage> images = camera.Camera().Images();
        QCOMPARE(images.size(), std::size_t(2));
        QCOMPARE(QByteArray::fromStdString(images[0].bytes), elf);
        QCOMPARE(images[0].nType, 1);
        QCOMPARE(QByteArray::fromStdString(images[1].bytes), font);
        QCOMPARE(images[1].nType, 3);
        QVERIFY(run.strOut.contains(u"skipped readme.txt: not an elf, sof or font image"_s));
        QVERIFY(run.strOut.contains(u"skipped cam_V1.3.elf.flash: the camera runs this version already"_s));
        QVERIFY(run.strOut.contains(u"[1/2] cam_V1.4.elf.flash: done"_s));
        QVERIFY(run.strOut.endsWith(u"upgrade finished: 2 image(s) sent\n"_s));
    }

    void aCameraReportEndsTheUpgrade()
    {
        CameraTiming quick;
        quick.nRestartSilenceMs = 100;
        CameraFaults failing;
        failing.strUpgradeError = "E002";
        CameraFixture camera(failing, quick);
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", "image"}, {"cn.font.flash", "font"}});
        const Run run = RunCli({u"--port"_s, Port(camera), u"upgrade"_s, package});
        QCOMPARE(run.nExitCode, 1);
        QVERIFY2(run.strErr.contains(u"the camera reported E002 (flash operation error)"_s), qPrintable(run.strErr));
        QCOMPARE(camera.Camera().Images().size(), std::size_t(1));
        QVERIFY(camera.Camera().Received().ends_with("R"));
    }

    void ctrlCStopsBetweenPiecesAndReleasesTheCamera()
    {
        CameraTiming quick;
        quick.nRestartSilenceMs = 100;
        CameraFixture camera({}, quick);
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.4.elf.flash", QByteArray(60000, 'e')}});
        QProcess process;
        process.start(QStringLiteral(ORVANE_CLI), {u"--port"_s, Port(camera), u"upgrade"_s, package});
        QVERIFY(process.waitForStarted());
        // Well into the image: 'U', the header and a few pieces have arrived.
        QVERIFY(WaitUntil([&] { return camera.Camera().Received().find(std::string(500, 'e')) != std::string::npos; }, 20000));
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 10000));
        QCOMPARE(process.exitCode(), 1);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.contains(u"interrupted: the camera may need this upgrade again"_s), qPrintable(err));
        const std::string received = camera.Camera().Received();
        QVERIFY(received.ends_with("R"));
        QVERIFY(received.size() < 60000); // the rest of the image was never sent
    }

    // COMn is looked up in the config.ini beside the program, as the window does.
    void aComPortIsMappedThroughConfigIni()
    {
        CameraFixture camera;
        QTemporaryDir dir;
        const QString program = dir.filePath(u"orvane-cli"_s);
        QVERIFY(QFile::copy(QStringLiteral(ORVANE_CLI), program));
        WriteFile(dir, u"config.ini"_s, "[Ports]\nCOM7=" + Port(camera).toUtf8() + "\n");
        QProcess process;
        process.start(program, {u"--port"_s, u"COM7"_s, u"read"_s});
        QVERIFY(process.waitForStarted());
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(process.readAllStandardOutput().contains("software_version        V1.3"));

        process.start(program, {u"ports"_s});
        QVERIFY(process.waitForStarted());
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
        QVERIFY(QString::fromUtf8(process.readAllStandardOutput()).contains(u"  COM7 = "_s + Port(camera) + u'\n'));
    }

    void aMissingPortIsNamed()
    {
        const Run run = RunCli({u"--port"_s, u"/dev/does-not-exist"_s, u"read"_s});
        QCOMPARE(run.nExitCode, 1);
        QCOMPARE(run.strErr, u"orvane-cli: cannot open /dev/does-not-exist: No such file or directory\n"_s);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
