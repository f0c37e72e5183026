// The records of a camera's settings kept around every write, and the
// commands that read them: backups, diff and apply --dry-run.
#include "core/settings/settings_backups.h"
#include "tests/support/camera_fixture.h"
#include "tests/support/cli_run.h"
#include "tests/support/dialog_bench.h"
#include "tests/support/package_writer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// A settings file that sets the brightness only.
QByteArray Brightness(int value)
{
    return u"{\"format\": 1, \"brightness\": %1}\n"_s.arg(value).toUtf8();
}

std::vector<QJsonObject> JsonLines(const QString& out)
{
    std::vector<QJsonObject> lines;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts))
        lines.push_back(QJsonDocument::fromJson(line.toUtf8()).object());
    return lines;
}

// Records of `port` as an earlier day left them, `base` but for the
// brightness: 40 before a save, 70 after it, then 50 after a recovery (what
// that recovery left).
void KeepEarlierRecords(const QString& folder, const QString& port, const CameraSettings& base = {})
{
    const QDateTime now = QDateTime::currentDateTime();
    const auto keep = [&](int brightness, const QString& what, bool after, int secondsAgo) {
        CameraSettings settings = base;
        settings.image.nBrightness = brightness;
        QString error;
        const BackupNote note{.strPort = port, .strWhat = what, .bAfter = after, .time = now.addSecs(-secondsAgo)};
        QVERIFY2(!WriteBackup(folder, settings, note, &error).isEmpty(), qPrintable(error));
    };
    keep(40, u"save"_s, false, 61);
    keep(70, u"save"_s, true, 60);
    keep(50, u"recover"_s, true, 30);
}

// Power-cycled while the recovery's requests go out.
PtyOptions PowerCycled()
{
    PtyOptions options;
    options.nPowerCycleAfterMs = 1500;
    return options;
}

// The records folder is `folder` while it lives, as a technician's own is.
class RecordsIn {
public:
    explicit RecordsIn(const QString& folder) { qputenv("ORVANE_BACKUPS", folder.toLocal8Bit()); }
    ~RecordsIn() { qputenv("ORVANE_BACKUPS", TestBackupsFolder().toLocal8Bit()); }
    Q_DISABLE_COPY_MOVE(RecordsIn)
};

// The list of records answers `row` while it lives, and keeps what it offered.
class ChosenRecord {
public:
    explicit ChosenRecord(int row)
        : m_previous(SetChoiceHandler([this, row](const QString& prompt, const QString&, const QStringList& items) {
              m_strPrompt = prompt;
              m_items = items;
              return std::optional<int>(row);
          }))
    {
    }
    ~ChosenRecord() { SetChoiceHandler(std::move(m_previous)); }
    Q_DISABLE_COPY_MOVE(ChosenRecord)
    const QStringList& Items() const { return m_items; }
    const QString& Prompt() const { return m_strPrompt; }

private:
    ChoiceHandler m_previous;
    QString m_strPrompt;
    QStringList m_items;
};

int BrightnessIn(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()[u"brightness"_s].toInt()
                                          : -1;
}

} // namespace

class TestSettingsBackups : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { CameraFixture().WriteConfig(); }

    // Records are whole, never replace one another, are listed newest
    // first, and only the newest are kept; a damaged one is named, not listed.
    void recordsAreKeptWholeAndNewestFirst()
    {
        QTemporaryDir folder;
        CameraSettings settings;
        settings.image.nBrightness = 10;
        const QDateTime time = QDateTime::currentDateTime();
        QString error;
        QStringList paths;
        // An older record of a port whose name holds the other's: not pruned with it.
        const BackupNote device{.strPort = u"/dev/COM1"_s, .strWhat = u"save"_s, .time = time.addSecs(-1)};
        QVERIFY(!WriteBackup(folder.path(), settings, device, &error).isEmpty());
        for (int i = 0; i < 5; ++i) {
            settings.image.nBrightness = 10 + i;
            const BackupNote note{.strPort = u"COM1"_s, .strWhat = u"save"_s, .bAfter = i % 2 == 1,
                                  .time = time.addMSecs(i)};
            paths.append(WriteBackup(folder.path(), settings, note, &error, 4));
            QVERIFY2(!paths.last().isEmpty(), qPrintable(error));
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 5); // the oldest of COM1 went
        QCOMPARE(ListBackups(folder.path(), device.strPort, nullptr).size(), std::size_t(1));
        const BackupNote other{.strPort = u"rfc2217://10.0.0.5:4001"_s, .strWhat = u"apply a.json"_s, .time = time};
        // Two records of one port, side and millisecond (two instances): neither replaces the other.
        QVERIFY(!WriteBackup(folder.path(), settings, other, &error).isEmpty());
        QVERIFY(!WriteBackup(folder.path(), settings, other, &error).isEmpty());
        WriteFile(folder, u"hand-made.json"_s, "{\"format\": 1, \"brightness\": 300}");

        QStringList skipped;
        const std::vector<BackupRecord> com1 = ListBackups(folder.path(), u"COM1"_s, &skipped);
        QCOMPARE(com1.size(), std::size_t(4));
        QCOMPARE(BrightnessIn(com1[0].strPath), 14);
        QVERIFY(com1[0].note.time >= com1[1].note.time && com1[1].note.time >= com1[3].note.time);
        QCOMPARE(BrightnessIn(com1[3].strPath), 11);
        QCOMPARE(skipped.size(), 1);
        QVERIFY2(skipped[0].startsWith(u"hand-made.json: \"brightness\": 300"_s), qPrintable(skipped[0]));
        const std::vector<BackupRecord> server = ListBackups(folder.path(), other.strPort, &skipped);
        QCOMPARE(server.size(), std::size_t(2));
        QCOMPARE(server[0].note.strWhat, u"apply a.json"_s);

        QVERIFY(WriteBackup(u"/dev/null/backups"_s, settings, other, &error).isEmpty());
        QVERIFY2(error.startsWith(u"/dev/null/backups: "_s), qPrintable(error));

        // COMn is named in any case, as --port takes it.
        const RecordsIn recordsIn(folder.path());
        const Run listed = RunCli({u"backups"_s, u"--port"_s, u"com1"_s, u"--json"_s});
        QCOMPARE(JsonLines(listed.strOut).size(), std::size_t(4));

        // Ports whose names differ only where a file name cannot follow them: each keeps its own.
        const QTemporaryDir alike;
        for (const QString& port : {u"/tmp/adv_cam1"_s, u"/tmp/adv/cam1"_s, u"/tmp/adv:cam1"_s}) {
            for (int i = 0; i < 2; ++i) {
                const BackupNote note{.strPort = port, .strWhat = u"save"_s, .time = time.addMSecs(i)};
                QVERIFY(!WriteBackup(alike.path(), settings, note, &error, 1).isEmpty());
            }
        }
        for (const QString& port : {u"/tmp/adv_cam1"_s, u"/tmp/adv/cam1"_s, u"/tmp/adv:cam1"_s})
            QCOMPARE(ListBackups(alike.path(), port, nullptr).size(), std::size_t(1));
    }

    // apply keeps the settings before and after; backups lists them; diff
    // and apply --dry-run send no write.
    void theCommandLineKeepsListsComparesAndSendsNothingOnADryRun()
    {
        CameraFixture camera;
        camera.Camera().SetRegister(0x12, 61);
        QTemporaryDir dir;
        const QString file = WriteFile(dir, u"bright.json"_s, Brightness(70));
        const std::size_t before = ListBackups(TestBackupsFolder(), Port(camera), nullptr).size();

        const Run diff = RunCli({u"--port"_s, Port(camera), u"diff"_s, file});
        QCOMPARE(diff.nExitCode, 1);
        QCOMPARE(diff.strOut, u"brightness: camera 61, file 70\n"_s);
        const Run dry = RunCli({u"--port"_s, Port(camera), u"apply"_s, u"--dry-run"_s, file});
        QVERIFY2(dry.nExitCode == 0, qPrintable(dry.strErr));
        QVERIFY2(dry.strOut.contains(u"  register 0x12 = 70  brightness\n"_s), qPrintable(dry.strOut));
        QVERIFY(camera.Camera().Received().find("w ") == std::string::npos);
        QCOMPARE(camera.Camera().Register(0x12), 61);

        const Run applied = RunCli({u"--port"_s, Port(camera), u"apply"_s, file});
        QVERIFY2(applied.nExitCode == 0, qPrintable(applied.strErr));
        const Run listed = RunCli({u"backups"_s, u"--json"_s, u"--port"_s, Port(camera)});
        QVERIFY2(listed.nExitCode == 0, qPrintable(listed.strErr));
        const std::vector<QJsonObject> lines = JsonLines(listed.strOut);
        QCOMPARE(lines.size(), before + 2);
        QCOMPARE(lines[0][u"what"_s].toString(), u"apply %1 (after)"_s.arg(file));
        QCOMPARE(lines[1][u"what"_s].toString(), u"apply %1 (before)"_s.arg(file));
        QCOMPARE(lines[0][u"software"_s].toString(), u"V1.3"_s);
        QCOMPARE(BrightnessIn(lines[0][u"path"_s].toString()), 70);
        QCOMPARE(BrightnessIn(lines[1][u"path"_s].toString()), 61);
        for (const QString& key : {u"time"_s, u"port"_s, u"hardware"_s, u"software"_s, u"what"_s, u"path"_s})
            QVERIFY2(lines[0].contains(key), qPrintable(key));

        // A record is a settings file: applied, it undoes the write.
        QCOMPARE(RunCli({u"--port"_s, Port(camera), u"apply"_s, lines[1][u"path"_s].toString()}).nExitCode, 0);
        QCOMPARE(camera.Camera().Register(0x12), 61);
        const Run same = RunCli({u"--port"_s, Port(camera), u"diff"_s, lines[1][u"path"_s].toString(), u"--json"_s});
        QCOMPARE(same.nExitCode, 0);
        QCOMPARE(JsonLines(same.strOut)[0][u"differences"_s].toArray().size(), 0);
        const Run bad = RunCli({u"--port"_s, Port(camera), u"diff"_s, WriteFile(dir, u"bad.json"_s, Brightness(300))});
        QCOMPARE(bad.nExitCode, 2);
        QVERIFY2(bad.strErr.contains(u"brightness"_s), qPrintable(bad.strErr));

        // Named by its device, a port that a COMn opens keeps its records as that COMn's.
        const QTemporaryDir beside;
        const QString program = CliBesideConfig(beside, "[Ports]\nCOM4=" + Port(camera).toUtf8() + "\n");
        const auto besideConfig = [&program](QProcess& process) { process.setProgram(program); };
        QCOMPARE(RunCli({u"--port"_s, Port(camera), u"apply"_s, file}, 60000, QString(), besideConfig).nExitCode, 0);
        const Run com4 = RunCli({u"backups"_s, u"--json"_s, u"--port"_s, u"COM4"_s}, 60000, QString(), besideConfig);
        QCOMPARE(JsonLines(com4.strOut).size(), std::size_t(2));
    }

    // A camera of 750 lines at 25 frames reads 18 line periods to the
    // millisecond where there are 18.75: its exposure limits are no whole
    // number of milliseconds. Its own settings file is taken back, and an
    // apply that does not change the shutter leaves the limits as they are.
    void aCameraKeepsItsExposureThroughItsOwnFilesAtEveryFormat()
    {
        CameraFixture camera;
        camera.Camera().SetRegister(0x1F, 0x10);
        QTemporaryDir dir;
        const Run read = RunCli({u"--port"_s, Port(camera), u"read"_s, u"--json"_s});
        QVERIFY2(read.nExitCode == 0, qPrintable(read.strErr));
        QCOMPARE(QJsonDocument::fromJson(read.strOut.toUtf8()).object()[u"shutter"_s].toObject()[u"range_ms"_s],
                 QJsonValue(QJsonArray{0, 62}));
        const QString own = WriteFile(dir, u"own.json"_s, read.strOut.toUtf8());
        const Run same = RunCli({u"--port"_s, Port(camera), u"diff"_s, own});
        QVERIFY2(same.nExitCode == 0, qPrintable(same.strErr + same.strOut));

        const QString bright = WriteFile(dir, u"bright.json"_s, Brightness(70));
        for (const QString& file : {bright, own, bright}) {
            const Run applied = RunCli({u"--port"_s, Port(camera), u"apply"_s, file});
            QVERIFY2(applied.nExitCode == 0, qPrintable(applied.strErr));
            QCOMPARE(camera.Camera().Register(0x0E), 0x65);
            QCOMPARE(camera.Camera().Register(0x0F), 0x04);
        }
        const Run listed = RunCli({u"backups"_s, u"--port"_s, Port(camera)});
        QVERIFY2(listed.strErr.isEmpty() && listed.strOut.contains(u"apply %1 (after)"_s.arg(own)),
                 qPrintable(listed.strErr + listed.strOut));

        // A time over 40 ms is the camera's own or none.
        const Run longer = RunCli({u"--port"_s, Port(camera), u"apply"_s,
                                   WriteFile(dir, u"long.json"_s, "{\"format\": 1, \"shutter\": {\"range_ms\": [0, 50]}}")});
        QCOMPARE(longer.nExitCode, 2);
        QVERIFY2(longer.strErr.contains(u"a longer one only as the camera has it now ({\"range_ms\":[0,62]})"_s),
                 qPrintable(longer.strErr));

        // Any time up to 40 ms is taken, and one the camera reads as an item
        // of its list ("auto", "1/50" at 25 frames) is that item: no false difference.
        for (const QByteArray& shutter : {QByteArray("{\"fixed_ms\": 20}"), QByteArray("{\"range_ms\": [0, 40]}")}) {
            const QString file = WriteFile(dir, u"shutter.json"_s, "{\"format\": 1, \"shutter\": " + shutter + "}\n");
            const Run applied = RunCli({u"--port"_s, Port(camera), u"apply"_s, file});
            QVERIFY2(applied.nExitCode == 0, qPrintable(QString::fromUtf8(shutter) + applied.strErr));
            const Run compared = RunCli({u"--port"_s, Port(camera), u"diff"_s, file});
            QVERIFY2(compared.nExitCode == 0, qPrintable(QString::fromUtf8(shutter) + compared.strOut));
        }
    }

    // Ctrl-C while apply's writes go out: told as writes stopped, with the
    // record to go back to, not as a failed read-back.
    void anApplyStoppedMidWritesSaysTheCameraMayHoldPartOfIt()
    {
        CameraFixture camera({}, {}, OwnRate(1200));
        QTemporaryDir dir;
        QProcess process;
        process.setProgram(QStringLiteral(ORVANE_CLI));
        process.setArguments({u"--port"_s, Port(camera), u"--baud"_s, u"1200"_s, u"apply"_s,
                              WriteFile(dir, u"bright.json"_s, Brightness(70))});
        process.start();
        QVERIFY(WaitUntil([&] { return camera.Camera().Received().find("w ") != std::string::npos; }, 60000));
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 10000));
        QCOMPARE(process.exitCode(), 1);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.contains(u"interrupted: the writes of %1 were cut off before all of them went out"_s.arg(
                     dir.filePath(u"bright.json"_s)))
                     && err.contains(u"'orvane-cli backups --port %1'"_s.arg(Port(camera)))
                     && !err.contains(u"read-back"_s),
                 qPrintable(err));

        // The line lost among the writes is told the same way, with the loss.
        CameraFixture whole;
        QCOMPARE(RunCli({u"--port"_s, Port(whole), u"apply"_s, dir.filePath(u"bright.json"_s)}).nExitCode, 0);
        PtyOptions vanishing;
        vanishing.nVanishAfterBytes = long(whole.Camera().Received().find("w ")) + 40;
        CameraFixture lost({}, {}, vanishing);
        const Run cut = RunCli({u"--port"_s, Port(lost), u"apply"_s, dir.filePath(u"bright.json"_s)});
        QCOMPARE(cut.nExitCode, 1);
        QVERIFY2(cut.strErr.contains(u"orvane-cli: %1 went away"_s.arg(Port(lost)))
                     && cut.strErr.contains(u"the writes of %1 were cut off"_s.arg(dir.filePath(u"bright.json"_s)))
                     && !cut.strErr.contains(u"read-back"_s),
                 qPrintable(cut.strErr));
    }

    // upgrade --recover --restore-backup: once the camera is back and
    // verified, the newest record kept before the recovery (not what an
    // earlier recovery left) is applied and read back; without one, it says so.
    void aRecoveryRestoresTheSettingsKeptBeforeIt()
    {
        QTemporaryDir dir;
        const QString package = dir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.3.elf.flash", "cam_V1.3.elf.flash\n" + QByteArray(500, 'e')}});
        const auto recover = [&](CameraFixture& camera, const QString& records) {
            return RunCli({u"--port"_s, Port(camera), u"upgrade"_s, u"--recover"_s, u"--restore-backup"_s, package},
                          60000, QString(), [&](QProcess& process) {
                              QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                              environment.insert(u"ORVANE_BACKUPS"_s, records);
                              process.setProcessEnvironment(environment);
                          });
        };

        CameraFixture camera(BrokenFirmware(), QuickCamera(50), PowerCycled());
        camera.Camera().SetRegister(0x12, 50);
        const QTemporaryDir records;
        KeepEarlierRecords(records.path(), Port(camera));
        // A restore cut short after that recovery: its before-record holds what the recovery left.
        CameraSettings recovered;
        recovered.image.nBrightness = 50;
        QString error;
        const BackupNote cutShort{.strPort = Port(camera), .strWhat = u"restore /x/earlier.json"_s,
                                  .time = QDateTime::currentDateTime().addSecs(-20)};
        QVERIFY(!WriteBackup(records.path(), recovered, cutShort, &error).isEmpty());
        const Run restored = recover(camera, records.path());
        QVERIFY2(restored.nExitCode == 0, qPrintable(restored.strErr + restored.strOut));
        QVERIFY2(restored.strOut.contains(u"recovered and verified"_s), qPrintable(restored.strOut));
        QVERIFY2(restored.strOut.contains(u"restoring the settings kept "_s)
                     && restored.strOut.contains(u"(save, after): "_s),
                 qPrintable(restored.strOut));
        QVERIFY2(restored.strOut.endsWith(u"all read back as written\n"_s), qPrintable(restored.strOut));
        QCOMPARE(camera.Camera().Register(0x12), 70);

        CameraFixture unrecorded(BrokenFirmware(), QuickCamera(50), PowerCycled());
        const QTemporaryDir empty;
        const Run nothing = recover(unrecorded, empty.path());
        QCOMPARE(nothing.nExitCode, 1);
        QVERIFY2(nothing.strOut.contains(u"recovered and verified"_s), qPrintable(nothing.strOut));
        QVERIFY2(nothing.strErr.contains(u"no settings of %1 were kept in %2 before the recovery: nothing "
                                         "restored"_s.arg(Port(unrecorded), empty.path())),
                 qPrintable(nothing.strErr));
        QVERIFY(unrecorded.Camera().Received().find(" 0012\r\n") == std::string::npos); // no brightness written

        // A record this camera cannot take (a 60 Hz shutter time on a 50 Hz
        // format): the camera runs, without the settings; not a usage error.
        CameraFixture unfitting(BrokenFirmware(), QuickCamera(50), PowerCycled());
        const QTemporaryDir otherRecords;
        CameraSettings sixty;
        sixty.image.nVideoCode = 0x01;
        sixty.image.nShutter = 2; // "1/120"
        const BackupNote kept{.strPort = Port(unfitting), .strWhat = u"save"_s, .bAfter = true,
                              .time = QDateTime::currentDateTime().addSecs(-60)};
        QVERIFY(!WriteBackup(otherRecords.path(), sixty, kept, &error).isEmpty());
        const Run refused = recover(unfitting, otherRecords.path());
        QCOMPARE(refused.nExitCode, 1);
        QVERIFY2(refused.strErr.contains(u"\"shutter\": \"1/120\""_s), qPrintable(refused.strErr));
    }

    // "恢复设置" lists this port's records; the one chosen fills the pages,
    // its changes listed in the log, and nothing is sent until 保存, whose
    // read-back is told. A damaged record is named, never offered.
    void theWindowRestoresARecordOnlyWhenSaved()
    {
        DialogBench bench;
        bench.camera.Camera().SetRegister(0x12, 61);
        QVERIFY(bench.OpenAndRead());
        const QTemporaryDir records;
        const RecordsIn recordsIn(records.path());
        bench.dialog->OnRestoreSettings();
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"COM1 没有保存的设置记录（%1）。"_s.arg(records.path()));

        KeepEarlierRecords(records.path(), u"COM1"_s, SettingsOfRegisters(bench.dialog->Session().Registers().data()));
        WriteFile(records, u"damaged.json"_s, "{\"format\": 1, \"brightness\": ");
        bench.ReceivedBeforeMarker(); // the read's language write has gone
        bench.camera.Camera().ClearCapture();
        const ChosenRecord chosen(1);
        bench.dialog->OnRestoreSettings();
        QCOMPARE(chosen.Items().size(), 3);
        QVERIFY2(chosen.Items()[1].contains(u"  save（写入后）  软件 V1.3，硬件 V1.2"_s), qPrintable(chosen.Items()[1]));
        QVERIFY(chosen.Prompt().startsWith(u"COM1 保存的设置记录"_s));
        QCOMPARE(bench.dialog->PagePara().Item<QLineEdit>(1002)->text(), u"70"_s);
        const QStringList log = LogLines(bench.dialog->PageUpdate());
        QVERIFY2(log.join(u'\n').contains(u"1 条记录已损坏，未列出：\n  damaged.json: not JSON"_s),
                 qPrintable(log.join(u'\n')));
        // Only what differs from the camera, under the record's name.
        QVERIFY2(log.size() >= 2 && log[log.size() - 2].endsWith(u"_COM1_after.json 将改变以下设置（相机 → 文件）："_s)
                     && log.last() == u"  brightness: 61 → 70"_s,
                 qPrintable(log.join(u'\n')));
        QCOMPARE(bench.ReceivedBeforeMarker(), std::string());
        QCOMPARE(bench.camera.Camera().Register(0x12), 61);

        bench.dialog->OnSave();
        QVERIFY(WaitUntil([&] { return LogLines(bench.dialog->PageUpdate()).last().contains(u"所有设置均已按写入的值读回"_s); },
                          20000));
        QCOMPARE(bench.camera.Camera().Register(0x12), 70);

        // The record just saved, restored again: it changes nothing, and says so.
        const ChosenRecord newest(0);
        bench.dialog->OnRestoreSettings();
        QVERIFY2(LogLines(bench.dialog->PageUpdate()).last().endsWith(u"与相机现有的设置相同，保存不会改变任何设置。"_s),
                 qPrintable(LogLines(bench.dialog->PageUpdate()).last()));
    }

    // The window's recovery ends with the offer of the settings kept before
    // it; taken, they are written and read back.
    void theWindowsRecoveryOffersTheSettingsKeptBeforeIt()
    {
        CameraTiming quick;
        quick.nRestartSilenceMs = 100;
        quick.nFlashMs = 50;
        DialogBench bench(QString(), BrokenFirmware(), quick);
        bench.camera.Camera().SetRegister(0x12, 50);
        const QTemporaryDir records;
        const RecordsIn recordsIn(records.path());
        KeepEarlierRecords(records.path(), u"COM1"_s);
        bench.dialog->OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 10000)); // the read failed
        const QString package = bench.packageDir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.3.elf.flash", "cam_V1.3.elf.flash\n" + QByteArray(500, 'e')}});
        bench.ChoosePackage(package);
        bench.camera.Camera().ClearCapture();
        bench.boxes.SetAnswer(true);
        bench.dialog->PageUpdate().OnUpgrade();
        // Ten requests at least: more may have come by the time this looks.
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().size() >= 10; }, 10000));
        bench.camera.Camera().PowerCycle();
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Register(0x12) == 70; }, 30000));
        QVERIFY(WaitUntil([&] { return LogLines(bench.dialog->PageUpdate()).last().contains(u"所有设置均已按写入的值读回"_s); },
                          20000));
        QCOMPARE(bench.boxes.Boxes().size(), 4); // the read, the recovery, its success, and the offer
        QVERIFY2(bench.boxes.Boxes()[3].text.startsWith(u"相机已恢复。是否把 "_s)
                     && bench.boxes.Boxes()[3].text.endsWith(u" 保存的设置（save, 写入后）写回相机？"_s),
                 qPrintable(bench.boxes.Boxes()[3].text));
    }

    // The image page's save leaves its records; where none can be written the
    // save still goes out, with one warning.
    void theWindowsSaveKeepsRecordsOrSaysWhyNot()
    {
        DialogBench bench;
        QVERIFY(bench.OpenAndRead());
        const std::size_t before = ListBackups(TestBackupsFolder(), u"COM1"_s, nullptr).size();
        bench.dialog->PagePara().Item<QLineEdit>(1002)->setText(u"66"_s);
        bench.dialog->PagePara().OnSave(); // the page's save reads back: the record after it
        QVERIFY(WaitUntil([&] { return ListBackups(TestBackupsFolder(), u"COM1"_s, nullptr).size() == before + 2; },
                          20000));
        QCOMPARE(BrightnessIn(ListBackups(TestBackupsFolder(), u"COM1"_s, nullptr)[0].strPath), 66);

        qputenv("ORVANE_BACKUPS", "/dev/null/backups");
        bench.dialog->PagePara().Item<QLineEdit>(1002)->setText(u"67"_s);
        bench.dialog->PagePara().OnSave();
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Register(0x12) == 67; }, 20000));
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 20000));
        qputenv("ORVANE_BACKUPS", TestBackupsFolder().toLocal8Bit());
        QCOMPARE(bench.boxes.Boxes().size(), 1); // once, not for the record after
        QVERIFY2(bench.boxes.Boxes()[0].text.startsWith(u"未能备份相机的设置（/dev/null/backups: "_s),
                 qPrintable(bench.boxes.Boxes()[0].text));
    }
};

QTEST_MAIN(TestSettingsBackups)
#include "tst_settings_backups.moc"
