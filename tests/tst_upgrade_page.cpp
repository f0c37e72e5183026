#include "gui/dialogs/file_dialog.h"
#include "core/config/program_dir.h"
#include "gui/main_window/main_dialog.h"
#include "gui/pages/upgrade/dlg_upgrade.h"
#include "tests/support/dialog_bench.h"
#include "tests/support/package_writer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

using namespace Qt::StringLiterals;

namespace {

// Answers the next file dialog with `path`.
struct FileDialogAnswer {
    explicit FileDialogAnswer(const QString& path)
    {
        m_previous = SetOpenFileHandler([path](const QString&, const QString&) { return path; });
    }
    ~FileDialogAnswer() { SetOpenFileHandler(std::move(m_previous)); }
    OpenFileHandler m_previous;
};

} // namespace

class TestUpgradePage : public QObject {
    Q_OBJECT

private slots:
    void browsingShowsLengthAndChecksum()
    {
        DialogBench bench;
        CDlgUpdate& page = bench.dialog->PageUpdate();
        QTemporaryDir dir;
        const QString path = dir.path() + u"/upgrade.bin"_s;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("abc");
        file.close();
        {
            FileDialogAnswer answer(path);
            page.OnBrowse();
        }
        QCOMPARE(page.Item<QLineEdit>(1053)->text(), path);
        QCOMPARE(page.Item<QLineEdit>(1022)->text(), u"9d3b"_s);
        QCOMPARE(LogLines(page), (QStringList{u"升级文件长度为 3 bytes ."_s, u"校验码是 40251."_s}));

        {
            FileDialogAnswer cancelled{QString()};
            page.OnBrowse();
        }
        QCOMPARE(page.Item<QLineEdit>(1053)->text(), path);

        QFile shortName(u"q.bin"_s); // beside the test, a path under 10 characters
        QVERIFY(shortName.open(QIODevice::WriteOnly));
        shortName.close();
        FileDialogAnswer answer(u"q.bin"_s);
        page.OnBrowse();
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QVERIFY(bench.boxes.Boxes()[0].text.startsWith(u"升级文件命名有误"_s));
        QFile::remove(u"q.bin"_s);
        page.OnClear();
        QVERIFY(page.Item<QTextEdit>(1057)->toPlainText().isEmpty());
    }

    // Every line of the log is kept in the user's file too, with the
    // image's entry; a file that cannot be written costs one line on screen.
    void theLogIsKeptAndCanBeSaved()
    {
        DialogBench bench;
        CDlgUpdate& page = bench.dialog->PageUpdate();
        QTemporaryDir dir;
        const QString kept = dir.filePath(u"upgrade.log"_s);
        page.KeepLogIn(kept);
        page.AppendLog(u"升级开始\n"_s);
        page.AppendLog(u"升级成功！\n"_s);
        QFile file(kept);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(QRegularExpression(u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  升级成功！$"_s).match(lines[1]).hasMatch(),
                 qPrintable(lines[1]));

        page.KeepLogIn(dir.filePath(u"upgrade.log/inside"_s)); // a folder that is a file
        page.AppendLog(u"a\n"_s);
        page.AppendLog(u"b\n"_s);
        QCOMPARE(LogLines(page).filter(u"升级日志文件无法写入"_s).size(), 1);
        QCOMPARE(LogLines(page).last(), u"b"_s);

        const QString saved = dir.filePath(u"saved.txt"_s);
        const OpenFileHandler previous = SetSaveFileHandler([&](const QString&, const QString&) { return saved; });
        page.OnSaveLog();
        SetSaveFileHandler(previous);
        QFile savedFile(saved);
        QVERIFY(savedFile.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(savedFile.readAll()), page.Item<QTextEdit>(1057)->toPlainText());
    }

    // The package used to be rewritten with "PK" while it was unpacked.
    void extractionLeavesThePackageAsItWas()
    {
        DialogBench bench;
        QVERIFY(bench.OpenAndRead()); // the camera runs software V1.3, hardware V1.2
        CDlgUpdate& page = bench.dialog->PageUpdate();
        QTemporaryDir dir;
        const QString package = dir.path() + u"/camera.pkg"_s;
        const QByteArray elf(3000, 'e');
        WritePackage(package, {{"cam_V1.3.elf.flash", "running already"},
                               {"cam_V1.4.elf.flash", elf},
                               {"../escape.elf.flash", "out"},
                               {"readme.txt", "notes"},
                               {"fpga_V1.2.sof.flash", "running already"}});
        QFile::setPermissions(package, QFile::ReadOwner | QFile::ReadGroup);
        const QByteArray before = QCryptographicHash::hash(FileBytes(package), QCryptographicHash::Sha256);
        bench.ChoosePackage(package);
        const QDir temp(GetProgramDir() + u"/temp"_s);
        const QStringList earlier = temp.entryList({u"run-*"_s}, QDir::Dirs);

        page.OnUpgrade();
        QVERIFY(bench.dialog->UpgradeMode());
        QCOMPARE(QCryptographicHash::hash(FileBytes(package), QCryptographicHash::Sha256), before);
        QStringList runs = temp.entryList({u"run-*"_s}, QDir::Dirs);
        for (const QString& old : earlier)
            runs.removeAll(old);
        QCOMPARE(runs.size(), 1);
        const QDir run(temp.filePath(runs[0]));
        QCOMPARE(run.entryList(QDir::Files, QDir::Name), (QStringList{u"cam_V1.4.elf.flash"_s, u"readme.txt"_s}));
        QCOMPARE(FileBytes(run.filePath(u"cam_V1.4.elf.flash"_s)), elf);
        QVERIFY(!QFileInfo::exists(GetProgramDir() + u"/escape.elf.flash"_s));
        QVERIFY(LogLines(page).value(0).startsWith(u"../escape.elf.flash: not a plain file name"_s));

        // The run's folder goes with the run.
        bench.dialog->OnOpenClosePort();
        QVERIFY(!bench.dialog->UpgradeMode());
        QVERIFY(!QFileInfo::exists(run.path()));
    }

    void whatIsNoPackageIsRefused()
    {
        DialogBench bench;
        QVERIFY(bench.OpenAndRead());
        CDlgUpdate& page = bench.dialog->PageUpdate();
        QTemporaryDir dir;
        const auto refused = [&](const QString& path) {
            bench.ChoosePackage(path);
            bench.camera.Camera().ClearCapture();
            const qsizetype boxes = bench.boxes.Boxes().size();
            page.OnUpgrade();
            return bench.boxes.Boxes().size() == boxes + 1
                   && bench.boxes.Boxes().last().text == u"无效的升级文件！"_s && bench.ReceivedBeforeMarker().empty()
                   && !bench.dialog->UpgradeMode();
        };
        const QString plain = dir.path() + u"/plain.zip"_s;
        WritePackage(plain, {{"a.elf.flash", "x"}}, false);
        const QByteArray before = FileBytes(plain);
        QVERIFY(refused(plain));
        QCOMPARE(FileBytes(plain), before);
        QVERIFY(refused(dir.path() + u"/missing.pkg"_s));
        // Every image of it runs on the camera already.
        WritePackage(dir.path() + u"/same.pkg"_s, {{"cam_V1.3.elf.flash", "x"}, {"fpga_V1.2.sof.flash", "y"}});
        QVERIFY(refused(dir.path() + u"/same.pkg"_s));
        // An empty image used to go out as such: a recovery would flash nothing.
        WritePackage(dir.path() + u"/empty.pkg"_s, {{"cam_V1.4.elf.flash", "x"}, {"cn.font.flash", ""}});
        QVERIFY(refused(dir.path() + u"/empty.pkg"_s));
        QVERIFY2(LogLines(page).last().endsWith(u"cn.font.flash: the image is empty: a camera would flash nothing"_s),
                 qPrintable(LogLines(page).last()));
    }

    // A camera whose firmware answers no read could not be upgraded at all:
    // the upgrade needs a read first. "升级" now offers to recover it; No
    // sends nothing, Yes waits for the boot window of a power cycle, sends
    // every image, restarts the camera, reads it back and logs its versions.
    void aCameraThatAnswersNoReadIsRecovered()
    {
        CameraFaults broken;
        broken.bBrokenFirmware = true;
        CameraTiming quick;
        quick.nRestartSilenceMs = 100;
        quick.nFlashMs = 50;
        DialogBench bench(QString(), broken, quick);
        const QTemporaryDir records; // none kept of this camera
        qputenv("ORVANE_BACKUPS", records.path().toLocal8Bit());
        CDlgUpdate& page = bench.dialog->PageUpdate();
        bench.dialog->OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 10000));
        QCOMPARE(bench.boxes.Boxes().size(), 1); // the read's failure, its search not chosen
        const QByteArray elf = "cam_V1.3.elf.flash\n" + QByteArray(2000, 'e');
        const QString package = bench.packageDir.filePath(u"cam.pkg"_s);
        WritePackage(package, {{"cam_V1.3.elf.flash", elf}, {"cn.font.flash", QByteArray(300, 'f')}});
        bench.ChoosePackage(package);
        const std::string beforeUpgrade = bench.camera.Camera().Received();

        page.OnUpgrade(); // answered No
        QCOMPARE(bench.boxes.Boxes().size(), 2);
        QVERIFY(bench.boxes.Boxes()[1].text.contains(u"断电"_s));
        QVERIFY(!bench.dialog->UpgradeMode());
        QCOMPARE(bench.ReceivedBeforeMarker(), beforeUpgrade);
        bench.camera.Camera().ClearCapture();

        bench.boxes.SetAnswer(true);
        page.OnUpgrade();
        QCOMPARE(bench.boxes.Boxes().size(), 3);
        QVERIFY(bench.dialog->UpgradeMode());
        QVERIFY(!bench.dialog->GetDlgItem(1007)->isEnabled());
        // Ten requests at least: more may have come by the time this looks.
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().size() >= 10; }, 10000));
        QVERIFY(bench.camera.Camera().Received().find_first_not_of('*') == std::string::npos);
        bench.camera.Camera().PowerCycle();
        QVERIFY(WaitUntil([&] { return !bench.dialog->UpgradeMode(); }, 30000));
        QVERIFY(WaitUntil([&] { return bench.boxes.Boxes().size() == 5; })); // the last once the read is the window's
        QCOMPARE(bench.boxes.Boxes()[3].text, u"升级成功！\n"_s);
        QCOMPARE(bench.boxes.Boxes()[4].text, u"相机已恢复，但恢复前没有保存 COM1 的设置，无法恢复设置。"_s);
        qputenv("ORVANE_BACKUPS", TestBackupsFolder().toLocal8Bit());
        const std::vector<ReceivedImage> images = bench.camera.Camera().Images();
        QCOMPARE(images.size(), std::size_t(2));
        QCOMPARE(QByteArray::fromStdString(images[0].bytes), elf);
        const QStringList log = LogLines(page);
        QVERIFY2(log.contains(u"重新读取后设备软件版本 V1.3，硬件版本 V1.2"_s), qPrintable(log.join(u'\n')));
        QVERIFY(log.contains(u"版本与升级包一致"_s));
        QVERIFY(bench.dialog->Host().ConfigRead());
        QVERIFY(bench.dialog->GetDlgItem(1007)->isEnabled());
    }
};

QTEST_MAIN(TestUpgradePage)
#include "tst_upgrade_page.moc"
