// The records of a camera's settings kept around every write, and the
// commands that read them: backups, diff and apply --dry-run.
#include "core/settings/settings_backups.h"
#include "tests/support/camera_fixture.h"
#include "tests/support/cli_run.h"
#include "tests/support/dialog_bench.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

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

        QCOMPARE(RunCli({u"--port"_s, Port(camera), u"apply"_s, file}).nExitCode, 0);
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
