// The firmware upgrade through the real window, over a pseudo-terminal, with
// the simulated camera taking the images.
#include "core/config/com_ports.h"
#include "gui/dialogs/file_dialog.h"
#include "core/protocol/checksum.h"
#include "core/protocol/link_protocol.h"
#include "session/image_transfer.h"
#include "core/protocol/upgrade_protocol.h"
#include "core/config/program_dir.h"
#include "tests/support/dialog_bench.h"
#include "tests/support/package_writer.h"
#include "serial/serial_port.h"
#include "tests/support/port_owner.h"
#include "gui/widgets/message_box_widget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const std::string kTrigger = "w 00 FFFF\r\nw 01 FFFF\r\n";
const QString kSeparator(54, u'-');

// A camera that takes the first request after a restart and flashes quickly.
CameraTiming QuickCamera(int flashMs = 50)
{
    CameraTiming timing;
    timing.nRestartSilenceMs = 100;
    timing.nUpgradeWindowMs = 600000;
    timing.nFlashMs = flashMs;
    return timing;
}

// A camera that stays silent after its restart, so the requests go unanswered.
CameraTiming DeafCamera()
{
    CameraTiming timing = QuickCamera();
    timing.nRestartSilenceMs = 600000;
    return timing;
}

QByteArray Pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + seed * 7 + i / 253) & 0xFF);
    return bytes;
}

std::string Header(int kind, const QByteArray& image)
{
    const auto header = ImageHeader(kind, ComputeChecksum(image), std::uint32_t(image.size()));
    return std::string(reinterpret_cast<const char*>(header.data()), header.size());
}

// What the camera receives for one image answered at the first request:
// released, and asked for a register to confirm it runs again, unless it
// reported an error.
std::string ImageExchange(int kind, const QByteArray& image, bool flashed = true)
{
    const std::string confirm = flashed ? FormatReadCommand(CUpgradeExchange::kConfirmRegister).toStdString() : "";
    return kTrigger + "*****U" + Header(kind, image) + image.toStdString() + "R" + confirm;
}

// An image that names itself in its first line, as a camera's images do:
// the camera runs the version it names after the restart that follows.
QByteArray Named(const char* name, int size, int seed)
{
    return QByteArray(name) + '\n' + Pattern(size, seed);
}

// After the last image the window restarts the camera and reads it again,
// then writes the OSD language, as after any read.
const std::string kRestartAndRead = kTrigger + CycleRequests() + "w 01 00F9\r\n";

// The log lines of that check, with the versions read back.
QStringList VerifiedLines(const QString& software, const QString& hardware)
{
    return {u"镜像已写入，正在重启相机并读回版本..."_s, u"重新读取后设备软件版本 %1，硬件版本 %2"_s.arg(software, hardware),
            u"版本与升级包一致"_s, u"升级成功！"_s};
}

// The next steps the boxes name after a camera's report.
const QString kNextRetry = u"下一步：请重新升级；如再次出现，请检查接线或改用较低的波特率。"_s;
const QString kNextPowerCycle = u"下一步：请将相机断电再上电后重新升级（不再应答时用恢复升级）；仍失败则请将相机送修。"_s;

// Where the window's run keeps an image of the package while it lasts.
QString UnpackedImage(const QString& name)
{
    // The newest: a run cut short by a killed test program leaves its folder behind.
    const QDir temp(GetProgramDir() + u"/temp"_s);
    for (const QString& run : temp.entryList({u"run-*"_s}, QDir::Dirs, QDir::Time)) {
        if (QFileInfo::exists(temp.filePath(run + u'/' + name)))
            return temp.filePath(run + u'/' + name);
    }
    return QString();
}

// The log lines of one image up to the trigger.
QStringList ExaminedLines(const QString& tail, const QByteArray& image)
{
    return {kSeparator, kSeparator, u"%1 升级文件长度为 %2 bytes ."_s.arg(tail).arg(image.size()),
            u"校验码是 %1."_s.arg(ComputeChecksum(image), 0, 16)};
}

// The log lines of one image from the trigger to the end of its transfer.
QStringList TransferLines(const QString& fileName, qsizetype size)
{
    return {u"触发升级..."_s, u"请求升级..."_s, u"升级开始"_s, u"升级文件传输中.../"_s + fileName,
            u"升级文件传送结束！请等待设备端升级..."_s, u"<rate %1>"_s.arg(size)};
}

// The log with each rate line checked for its shape and reduced to its byte count.
QStringList LogWithRates(CDlgUpdate& page)
{
    static const QRegularExpression rate(u"^已发送 (\\d+) 字节，用时 \\d+\\.\\d\\d 秒，速率 \\d+ 字节/秒。$"_s);
    QStringList lines = LogLines(page);
    for (QString& line : lines) {
        const QRegularExpressionMatch match = rate.match(line);
        if (match.hasMatch())
            line = u"<rate %1>"_s.arg(match.captured(1));
    }
    return lines;
}

QList<int> Values(const QSignalSpy& spy)
{
    QList<int> values;
    for (const QList<QVariant>& call : spy)
        values.append(call.at(0).toInt());
    return values;
}

bool Enabled(CMyCorvixDlg& dialog, std::initializer_list<int> pageIds, std::initializer_list<int> dialogIds)
{
    for (const int id : pageIds) {
        if (!dialog.PageUpdate().GetDlgItem(id)->isEnabled())
            return false;
    }
    for (const int id : dialogIds) {
        if (!dialog.GetDlgItem(id)->isEnabled())
            return false;
    }
    return true;
}

// The main dialog on a camera that has been read, and a package to upgrade from.
struct UpgradeBench : DialogBench {
    QTemporaryDir dir;
    CDlgUpdate& page;

    explicit UpgradeBench(CameraTiming timing = QuickCamera(), CameraFaults faults = {}, PtyOptions line = {})
        : DialogBench(QString(), std::move(faults), timing, std::move(line)), page(dialog->PageUpdate())
    {
    }

    // Opens and reads the camera (software V1.3, hardware V1.2), then
    // chooses a package of the entries.
    bool Ready(const PackageEntries& entries)
    {
        if (!OpenAndRead())
            return false;
        camera.Camera().ClearCapture();
        packagePath = dir.path() + u"/camera.pkg"_s;
        WritePackage(packagePath, entries);
        ChoosePackage(packagePath);
        return true;
    }

    QString packagePath;

    bool LogEndsWith(const QString& line) { return LogLines(page).value(LogLines(page).size() - 1) == line; }
};

} // namespace

class TestUpgradeTransfer : public QObject {
    Q_OBJECT

private slots:
    void imagesGoThroughByteForByteInTheirOrder()
    {
        UpgradeBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        const QByteArray elf = Named("cam_V1.4.elf.flash", 3000, 1);
        const QByteArray sof = Named("fpga_V1.3.sof.flash", 250, 2);
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", elf}, {"notes.txt", "notes"}, {"fpga_V1.3.sof.flash", sof}}));
        const QByteArray packageHash = QCryptographicHash::hash(FileBytes(bench.packagePath),
                                                                QCryptographicHash::Sha256);
        QSignalSpy progress(bench.page.Item<QProgressBar>(1056), &QProgressBar::valueChanged);
        QVERIFY(progress.isValid());
        const QString kept = bench.dir.filePath(u"upgrade.log"_s);
        bench.page.KeepLogIn(kept);

        bench.page.OnUpgrade();
        QVERIFY(dialog.UpgradeMode());
        QVERIFY(!Enabled(dialog, {1058}, {}) && !Enabled(dialog, {1054}, {}) && !Enabled(dialog, {1073}, {}));
        QVERIFY(!Enabled(dialog, {}, {1007}));
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 20000));
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"升级成功！\n"_s);
        // Success is told once the restarted camera has been read and runs the package's versions.
        QVERIFY(dialog.Host().ConfigRead());

        // On the line: each image at the first request, whole, then released; then the check.
        QVERIFY(bench.camera.WaitReceived(ImageExchange(0, elf) + ImageExchange(1, sof) + kRestartAndRead));
        const std::vector<ReceivedImage> images = bench.camera.Camera().Images();
        QCOMPARE(images.size(), std::size_t(2));
        QCOMPARE(QByteArray::fromStdString(images[0].bytes), elf);
        QCOMPARE(images[0].nType, 1);
        QCOMPARE(images[1].nType, 2);
        QCOMPARE(images[1].strVerdict, std::string("D"));

        // The text file is examined and skipped without a trigger.
        const QStringList expected = ExaminedLines(u".elf.flash"_s, elf) + TransferLines(u"cam_V1.4.elf.flash"_s, elf.size())
            + ExaminedLines(u"/notes.txt"_s, "notes") + ExaminedLines(u".sof.flash"_s, sof)
            + TransferLines(u"fpga_V1.3.sof.flash"_s, sof.size()) + VerifiedLines(u"V1.4"_s, u"V1.3"_s);
        QCOMPARE(LogWithRates(bench.page), expected);

        // The kept log names each image's package, checksum and the versions it replaced, and its rate.
        const QString keptText = QString::fromUtf8(FileBytes(kept));
        QVERIFY2(keptText.contains(u"升级包 %1，镜像 cam_V1.4.elf.flash，校验码 %2，升级前设备软件版本 V1.3，硬件版本 V1.2\n"_s
                                       .arg(bench.packagePath)
                                       .arg(ComputeChecksum(elf), 0, 16)),
                 qPrintable(keptText));
        QCOMPARE(keptText.count(u"已发送 "_s), 2);

        QList<int> positions;
        for (const ImagePiece& piece : PieceSchedule(std::uint64_t(elf.size())))
            positions.append(piece.progress);
        positions.append(99);
        for (const ImagePiece& piece : PieceSchedule(std::uint64_t(sof.size())))
            positions.append(piece.progress);
        positions += {99, 0};
        QCOMPARE(Values(progress), positions);

        QVERIFY(!dialog.UpgradeMode());
        QVERIFY(Enabled(dialog, {1058, 1054, 1073}, {1007, 1016, 1021}));
        QCOMPARE(QCryptographicHash::hash(FileBytes(bench.packagePath), QCryptographicHash::Sha256),
                 packageHash);
    }

    // Pieces are handed over at least 10 ms apart, and the header at least
    // 100 ms after "U"; the bounds are read from the camera's own clock.
    void piecesKeepTheirPace()
    {
        UpgradeBench bench;
        const QByteArray elf = Named("cam_V2.0.elf.flash", 4000, 3);
        QVERIFY(bench.Ready({{"cam_V2.0.elf.flash", elf}}));
        bench.page.OnUpgrade();
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 20000));
        QVERIFY(bench.camera.WaitReceived(ImageExchange(0, elf) + kRestartAndRead));

        const std::vector<LineByte> line = bench.camera.Camera().ReceivedLine();
        const std::size_t u = kTrigger.size() + 5;
        QCOMPARE(line[u].byte, 'U');
        QVERIFY2(line[u + 1].nAtNs - line[u].nAtNs >= 80'000'000, "the header followed \"U\" within 80 ms");
        std::vector<std::int64_t> gaps;
        const std::size_t data = u + 8;
        for (std::size_t piece = 1; piece < 40; ++piece)
            gaps.push_back(line[data + piece * 100].nAtNs - line[data + (piece - 1) * 100].nAtNs);
        std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
        QVERIFY2(gaps[gaps.size() / 2] >= 9'000'000, qPrintable(u"median %1 ns"_s.arg(gaps[gaps.size() / 2])));
    }

    // The camera answers 'S' and 'D' as the last byte arrives, while the
    // transfer's last pause runs, or line noise that begins with 'E' comes
    // mid-transfer: the 'D' used to cut the transfer's end and rate lines
    // from the log, and the noise swallowed 'S' and 'D' as a report. On a
    // line that echoes, the image's own 'A', 'S', 'D' and "E002" bytes come
    // back ahead of the camera's answers; they used to be taken for them.
    void repliesThatOvertakeTheTransferCount_data()
    {
        QTest::addColumn<int>("flashMs");
        QTest::addColumn<QByteArray>("noise");
        QTest::addColumn<bool>("echo");
        QTest::newRow("S and D as the last byte arrives") << 0 << QByteArray() << false;
        QTest::newRow("E0 noise mid-transfer") << 50 << QByteArray("E0") << false;
        QTest::newRow("an echoing line") << 50 << QByteArray() << true;
    }

    void repliesThatOvertakeTheTransferCount()
    {
        QFETCH(int, flashMs);
        QFETCH(QByteArray, noise);
        QFETCH(bool, echo);
        CameraFaults faults;
        faults.strNoiseInImage = noise.toStdString();
        PtyOptions line;
        line.bEcho = echo;
        UpgradeBench bench(QuickCamera(flashMs), faults, line);
        QByteArray elf = Named("cam_V1.4.elf.flash", 2000, 13);
        elf.replace(500, 7, "ASDE001"); // the camera's replies, as image bytes
        elf.replace(1500, 4, "E002");
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", elf}}));
        bench.page.OnUpgrade();
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 20000));
        QCOMPARE(bench.boxes.Boxes()[0].text, u"升级成功！\n"_s);
        QCOMPARE(LogWithRates(bench.page), ExaminedLines(u".elf.flash"_s, elf)
                                               + TransferLines(u"cam_V1.4.elf.flash"_s, elf.size())
                                               + VerifiedLines(u"V1.4"_s, u"V1.2"_s));
        QVERIFY(bench.camera.WaitReceived(ImageExchange(0, elf) + kRestartAndRead));
        QCOMPARE(bench.dialog->Port().LineEchoes(), echo);
    }

    // A 'D' is the camera's verdict only once the whole image is out. A
    // noise 'D' mid-image used to pass for success while the camera answered
    // E002; 'D's after the first image's verdict ended the second image's run
    // before its transfer, and the font was never sent.
    // A noise 'D' once the last piece was handed over, or while the camera
    // flashed, was taken for its verdict: "升级成功！" while it reported
    // E002, and the "R" sent too early left it answering nothing.
    void aStrayDIsNoVerdict_data()
    {
        QTest::addColumn<QByteArray>("inImage");
        QTest::addColumn<QByteArray>("inFlash");
        QTest::addColumn<QByteArray>("afterVerdict");
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<int>("elfBytes");
        QTest::addColumn<int>("flashMs");
        QTest::newRow("mid-image, the camera reports E002")
            << QByteArray("D") << QByteArray() << QByteArray() << QByteArray("E002") << 3000 << 100;
        QTest::newRow("in the last piece, the camera reports E002")
            << QByteArray("D") << QByteArray() << QByteArray() << QByteArray("E002") << 200 << 300;
        QTest::newRow("while flashing, the camera reports E002")
            << QByteArray() << QByteArray("D") << QByteArray() << QByteArray("E002") << 3000 << 2000;
        QTest::newRow("while flashing, the camera flashes")
            << QByteArray() << QByteArray("D") << QByteArray() << QByteArray() << 3000 << 1000;
        QTest::newRow("after the first verdict")
            << QByteArray() << QByteArray() << QByteArray("DDDD") << QByteArray() << 3000 << 100;
    }

    void aStrayDIsNoVerdict()
    {
        QFETCH(QByteArray, inImage);
        QFETCH(QByteArray, inFlash);
        QFETCH(QByteArray, afterVerdict);
        QFETCH(QByteArray, report);
        QFETCH(int, elfBytes);
        QFETCH(int, flashMs);
        CameraFaults faults = NoisyUpgrade(inImage, afterVerdict, report);
        faults.strNoiseInFlash = inFlash.toStdString();
        UpgradeBench bench(QuickCamera(flashMs), faults);
        const QByteArray elf = Pattern(elfBytes, 5);
        const QByteArray font = Pattern(1000, 6);
        QVERIFY(bench.Ready({{"cam.elf.flash", elf}, {"cn.font.flash", font}})); // no versions to check
        bench.page.OnUpgrade();
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 30000));
        if (report.isEmpty()) {
            QCOMPARE(bench.boxes.Boxes()[0].text, u"升级成功！\n"_s);
            QCOMPARE(bench.camera.Camera().Images().size(), std::size_t(2));
            QCOMPARE(QByteArray::fromStdString(bench.camera.Camera().Images()[1].bytes), font);
        } else {
            QCOMPARE(bench.boxes.Boxes()[0].text, u"flash操作错误\n"_s + kNextPowerCycle);
            QCOMPARE(bench.boxes.Boxes()[0].icon, MessageIcon::Warning);
            QTRY_VERIFY(!bench.dialog->UpgradeMode());
            QVERIFY(!LogLines(bench.page).contains(u"升级成功！"_s));
            QCOMPARE(bench.camera.Camera().Images().size(), std::size_t(1));
            QCOMPARE(LogLines(bench.page).count(kSeparator), 2); // the font was never taken up
            QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with("R"); })); // released after its report
        }
    }

    // A camera that said 'D' and then neither answers a read nor reports
    // within the wait is released again, and the run says it could not
    // tell whether the camera took the image.
    void aDTheCameraDoesNotConfirmIsNoSuccess()
    {
        UpgradeBench bench;
        const QByteArray elf = Pattern(1000, 8);
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", elf}}));
        bench.camera.Camera().SetMute(true);
        bench.page.OnUpgrade();
        QVERIFY(WaitUntil([&] { return !bench.dialog->UpgradeMode(); }, 30000));
        QVERIFY(bench.boxes.Boxes().isEmpty());
        QCOMPARE(LogLines(bench.page).last(), u"设备未反馈是否已接受升级文件，请检查串口连接，重新升级！"_s);
        const auto afterImage = [&] {
            const std::string received = bench.camera.Camera().Received();
            return received.substr(received.find(elf.toStdString()) + std::size_t(elf.size()));
        };
        QVERIFY(WaitUntil([&] { return afterImage().ends_with("R"); }));
        const std::string released = afterImage();
        QCOMPARE(std::count(released.begin(), released.end(), 'R'), 2); // released after the 'D', and again
    }

    void anErrorReportEndsTheRun_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("box");
        QTest::newRow("checksum") << u"E001"_s << u"checksum错误\n"_s + kNextRetry;
        QTest::newRow("flash") << u"E002"_s << u"flash操作错误\n"_s + kNextPowerCycle;
        QTest::newRow("other") << u"E010"_s << u"其他未知错误\n"_s + kNextPowerCycle;
        QTest::newRow("no text of its own") << u"E007"_s << QString(); // used to leave no trace at all
    }

    void anErrorReportEndsTheRun()
    {
        QFETCH(QString, report);
        QFETCH(QString, box);
        CameraFaults faults;
        faults.strUpgradeError = report.toStdString();
        UpgradeBench bench(QuickCamera(), faults);
        CMyCorvixDlg& dialog = *bench.dialog;
        const QByteArray elf = Pattern(300, 4);
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", elf}, {"fpga_V1.5.sof.flash", "second"}}));
        bench.page.OnUpgrade();
        QVERIFY(bench.camera.WaitReceived(ImageExchange(0, elf, false), 10000));
        QTRY_VERIFY(!dialog.UpgradeMode());

        QCOMPARE(bench.boxes.Boxes().size(), box.isNull() ? 0 : 1);
        if (!box.isNull())
            QCOMPARE(bench.boxes.Boxes()[0].text, box);
        QCOMPARE(LogLines(bench.page).filter(u"设备报告错误"_s), QStringList{u"设备报告错误 %1，退出升级..."_s.arg(report)});
        // Every report, one with no text of its own too, says what to do next.
        const QStringList log = LogLines(bench.page);
        QCOMPARE(log.value(log.indexOf(u"设备报告错误 %1，退出升级..."_s.arg(report)) + 1),
                 report == u"E001"_s ? kNextRetry : kNextPowerCycle);
        // "R" released the camera, and the second image never went out.
        QCOMPARE(bench.ReceivedBeforeMarker(), ImageExchange(0, elf, false));
        QCOMPARE(bench.page.Item<QProgressBar>(1056)->value(), 0);
        QVERIFY(Enabled(dialog, {1058, 1054}, {1007, 1016, 1021}));
        QVERIFY(!bench.page.GetDlgItem(1073)->isEnabled());
    }

    void unansweredRequestsLeaveRestartLocked()
    {
        UpgradeBench bench(DeafCamera());
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", "image"}}));
        bench.page.OnUpgrade();
        for (int i = 0; i <= kRequests; ++i) // the last request is given its period to be answered
            dialog.Upgrade().Timers().Fire(CUpgradeExchange::kTimerRequest);
        QCOMPARE(bench.ReceivedBeforeMarker(), kTrigger + "********************");
        QCOMPARE(LogLines(bench.page).mid(4), (QStringList{u"触发升级..."_s, u"请求升级..."_s, u"请求升级..."_s,
                                                          u"请求升级..."_s, u"请求升级失败！退出升级..."_s,
                                                          u"下一步：请检查接线和串口，用“查找相机”找出它的波特率；固件无法启动的相机可用恢复升级。"_s}));
        QVERIFY(Enabled(dialog, {1058, 1054}, {1007}));
        QVERIFY(!bench.page.GetDlgItem(1073)->isEnabled());
    }

    void theUpgradeButtonRefusesWhatCannotStart()
    {
        UpgradeBench bench;
        bench.page.OnUpgrade(); // port closed
        QCOMPARE(bench.boxes.Boxes().value(0).text, u"串口未打开或者读取配置未完成！\n串口未打开"_s);
        QVERIFY(bench.OpenAndRead());
        bench.camera.Camera().ClearCapture();
        bench.page.OnUpgrade(); // no package chosen
        QCOMPARE(bench.boxes.Boxes().value(1).text, u"请选择升级文件！"_s);

        bench.packagePath = bench.dir.path() + u"/plain.zip"_s;
        WritePackage(bench.packagePath, {{"cam_V1.4.elf.flash", "image"}}, false);
        bench.ChoosePackage(bench.packagePath);
        const QByteArray before = FileBytes(bench.packagePath);
        bench.page.OnUpgrade();
        QCOMPARE(bench.boxes.Boxes().value(2).text, u"无效的升级文件！"_s);
        QCOMPARE(FileBytes(bench.packagePath), before);
        QCOMPARE(bench.ReceivedBeforeMarker(), std::string());
        QVERIFY(!bench.dialog->UpgradeMode());

        // Checked whole: one bad entry refuses the package, with the good
        // ones unsent; the name is shown without its line break.
        QByteArray crc = ZipArchive({{"cam_V1.5.elf.flash", "good"}, {"x\ny.font.flash", "bad"}}, 0);
        PatchZipRecords(crc, kZipCentral, 16, 0xBEEF);
        PatchZipRecords(crc, kZipLocal, 14, 0xBEEF);
        QFile damaged(bench.packagePath);
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(Tagged(crc));
        damaged.close();
        bench.camera.Camera().ClearCapture();
        bench.page.OnUpgrade();
        QCOMPARE(bench.boxes.Boxes().value(3).text, u"无效的升级文件！"_s);
        QCOMPARE(bench.boxes.Boxes().value(3).icon, MessageIcon::Warning); // an error, not news
        QCOMPARE(LogLines(bench.page).last(), u"升级文件有误，未发送任何数据：cam_V1.5.elf.flash: fails its CRC check"_s);
        QCOMPARE(bench.ReceivedBeforeMarker(), std::string());
        QVERIFY(!bench.dialog->UpgradeMode());
    }

    // A second 'A' used to start a second transfer over the first.
    void aSecondReadyDuringATransferIsIgnored()
    {
        UpgradeBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        const QByteArray elf = Named("cam_V1.4.elf.flash", 5000, 5);
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", elf}}));
        bench.page.OnUpgrade();
        QVERIFY(WaitUntil([&] { return bench.page.Item<QProgressBar>(1056)->value() >= 10; }));
        dialog.Session().OnReceived("A");
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 20000));
        QCOMPARE(bench.boxes.Boxes()[0].text, u"升级成功！\n"_s);
        QCOMPARE(bench.ReceivedBeforeMarker(), ImageExchange(0, elf) + kRestartAndRead);
        QCOMPARE(QByteArray::fromStdString(bench.camera.Camera().Images().at(0).bytes), elf);
    }

    // Timer 206 used to expire without effect, leaving the page locked.
    void aCameraThatNeverAnswersFreesThePage()
    {
        CameraFaults silent;
        silent.bSilentAfterImage = true;
        UpgradeBench bench(QuickCamera(), silent);
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", Pattern(500, 6)}}));
        bench.page.OnUpgrade();
        QVERIFY(WaitUntil([&] { return dialog.Upgrade().Timers().IsActive(CUpgradeExchange::kTimerAfterTransfer); }, 10000));
        QCOMPARE(dialog.Upgrade().Timers().Interval(CUpgradeExchange::kTimerAfterTransfer), 10000);
        QCOMPARE(bench.page.Item<QProgressBar>(1056)->value(), 99);
        QVERIFY(!Enabled(dialog, {1058}, {}));

        dialog.Upgrade().Timers().Fire(CUpgradeExchange::kTimerAfterTransfer);
        QVERIFY(bench.LogEndsWith(u"设备未反馈是否已接受升级文件，请检查串口连接，重新升级！"_s));
        QVERIFY(!dialog.UpgradeMode());
        QVERIFY(Enabled(dialog, {1058, 1054, 1073}, {1007, 1016, 1021}));
        QVERIFY(!dialog.Upgrade().Timers().IsActive(CUpgradeExchange::kTimerAfterTransfer));
    }

    // The camera's 'S' can arrive before the host has seen its own transfer
    // end; it used to be forgotten, and the wait ended as if none had come.
    void aStoredImageIsWaitedForAndCanBeRestarted()
    {
        CameraFaults silent;
        silent.bSilentAfterImage = true;
        UpgradeBench bench(QuickCamera(), silent);
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", Pattern(3000, 7)}}));
        bench.page.OnUpgrade();
        QVERIFY(WaitUntil([&] { return dialog.Upgrade().Timers().IsActive(CUpgradeExchange::kTimerAfterTransfer); }, 10000));
        dialog.Session().OnReceived("S"); // the camera's, once the whole image is out

        dialog.Upgrade().Timers().Fire(CUpgradeExchange::kTimerAfterTransfer);
        QVERIFY(bench.LogEndsWith(u"设备已接收升级文件。"_s));
        QVERIFY(dialog.UpgradeMode()); // still waiting for 'D'
        QVERIFY(bench.page.GetDlgItem(1073)->isEnabled());
        QVERIFY(!bench.page.GetDlgItem(1058)->isEnabled());

        // The image's last bytes may still be on the simulated line.
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Images().size() == 1; }));
        bench.camera.Camera().ClearCapture();
        bench.page.OnRestart(); // the camera is released first
        QVERIFY(bench.camera.WaitReceived("R" + kTrigger));
        QTRY_VERIFY(!dialog.Host().PortOpen()); // closed once the trigger is out
        QVERIFY(!dialog.UpgradeMode());
        QVERIFY(LogLines(bench.page).contains(u"升级已中断，相机已释放，请重新升级。"_s));
        QVERIFY(bench.LogEndsWith(u"已发送重启命令，12 秒后重新打开串口并读取相机"_s));
    }

    // "升级成功！" used to come at the camera's last 'D', while the camera
    // still ran its old firmware until the technician restarted it. Now the
    // run restarts the camera itself, reads it and compares its versions
    // with the package's: success only when they match; otherwise a warning
    // that names what differs and what to do.
    void successComesOnlyOnceTheCameraRunsThePackage_data()
    {
        QTest::addColumn<bool>("keepVersion");
        QTest::newRow("runs the package") << false;
        QTest::newRow("still the old version") << true;
    }

    void successComesOnlyOnceTheCameraRunsThePackage()
    {
        QFETCH(bool, keepVersion);
        CameraFaults faults;
        faults.bKeepVersion = keepVersion;
        UpgradeBench bench(QuickCamera(), faults);
        CMyCorvixDlg& dialog = *bench.dialog;
        const QByteArray image = Named("cam_V1.4.elf.flash", 2000, 3);
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", image}, {"fpga.sof.flash", Pattern(100, 4)}}));
        bench.page.OnUpgrade();
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 20000));
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        // The camera was restarted and read whole before anything was said.
        QCOMPARE(bench.camera.Camera().RestartCount(), 3); // each image's trigger, then the check
        QVERIFY(dialog.Host().ConfigRead());
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with(kRestartAndRead); }));
        QVERIFY(!dialog.UpgradeMode());
        if (!keepVersion) {
            QCOMPARE(bench.boxes.Boxes()[0].text, u"升级成功！\n"_s);
            QVERIFY(bench.LogEndsWith(u"升级成功！"_s));
            QVERIFY(LogLines(bench.page).contains(u"重新读取后设备软件版本 V1.4，硬件版本 V1.2"_s));
            return;
        }
        QCOMPARE(bench.boxes.Boxes()[0].icon, MessageIcon::Warning);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"版本与升级包不一致：软件版本为 V1.3，升级包为 V1.4，设备可能未运行新固件，请重新升级\n"_s
                                                  + kNextPowerCycle);
        QVERIFY(!LogLines(bench.page).contains(u"升级成功！"_s));
    }

    void anImageThatCannotBeReadEndsTheRun()
    {
        UpgradeBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", Pattern(800, 8)}}));
        bench.page.OnUpgrade();
        // Gone after it was examined, before the camera asked for it.
        const QString image = UnpackedImage(u"cam_V1.4.elf.flash"_s);
        QVERIFY(QFile::remove(image));
        QVERIFY(WaitUntil([&] { return !dialog.UpgradeMode(); }, 10000));
        QCOMPARE(LogLines(bench.page).last(), u"无法读取升级镜像，退出升级：%1: No such file or directory"_s.arg(image));
        QVERIFY(Enabled(dialog, {1058, 1054, 1073}, {1007, 1016, 1021}));
        QCOMPARE(bench.ReceivedBeforeMarker(), kTrigger + "*****UR"); // released

    }

    void anImageGoneBeforeItsTurnIsNeverTriggered()
    {
        UpgradeBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        const QByteArray elf = Pattern(700, 3);
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", elf}, {"fpga_V1.3.sof.flash", Pattern(300, 4)}}));
        bench.page.OnUpgrade();
        const QString second = UnpackedImage(u"fpga_V1.3.sof.flash"_s);
        QVERIFY(QFile::remove(second));
        QVERIFY(WaitUntil([&] { return !dialog.UpgradeMode(); }, 10000));
        QCOMPARE(LogLines(bench.page).last(), u"无法读取升级镜像，退出升级：%1: No such file or directory"_s.arg(second));
        QCOMPARE(bench.ReceivedBeforeMarker(), ImageExchange(0, elf));
        QVERIFY(Enabled(dialog, {1058, 1054, 1073}, {1007}));
    }

    void anUnpluggedCameraEndsTheTransfer()
    {
        UpgradeBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", Pattern(20000, 9)}}));
        bench.page.OnUpgrade();
        QVERIFY(WaitUntil([&] { return bench.page.Item<QProgressBar>(1056)->value() >= 5; }));
        bench.camera.Camera().Vanish();
        QVERIFY(WaitUntil([&] { return !dialog.Host().PortOpen() && !dialog.TransferRunning(); }));
        QCOMPARE(bench.boxes.Boxes().size(), 1); // the loss, reported once
        QCOMPARE(LogLines(bench.page).filter(u"串口已关闭，退出升级..."_s).size(), 1);
        QVERIFY(!dialog.UpgradeMode());
        QVERIFY(Enabled(dialog, {1054}, {1007, 1016}));
        // Save, upgrade and restart have no camera to act on, and say why.
        for (QWidget* control : {dialog.GetDlgItem(1021), bench.page.GetDlgItem(1058), bench.page.GetDlgItem(1073)}) {
            QVERIFY(!control->isEnabled());
            QVERIFY(control->toolTip().startsWith(u"串口未打开"_s));
        }
    }

    void closingDuringAnUpgradeAsksFirst()
    {
        UpgradeBench bench(DeafCamera());
        CMyCorvixDlg& dialog = *bench.dialog;
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", "image"}}));
        bench.page.OnUpgrade();
        QCloseEvent keep;
        QApplication::sendEvent(&dialog, &keep);
        QVERIFY(!keep.isAccepted());
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].icon, MessageIcon::Question);
        QVERIFY(dialog.Port().IsMonitorRunning());

        bench.boxes.SetAnswer(true);
        QCloseEvent close;
        QApplication::sendEvent(&dialog, &close);
        QVERIFY(close.isAccepted());
        QCOMPARE(bench.boxes.Boxes().size(), 2);
    }

    void screenshotInTheMiddleOfATransfer()
    {
        SKIP_UNLESS_SCREENSHOTS("upgrade-page.png");
        UpgradeBench bench;
        const QString package = bench.dir.path() + u"/camera_V1.4.pkg"_s;
        WritePackage(package, {{"cam_V1.4.elf.flash", Pattern(60000, 11)}, {"cn.font.flash", Pattern(9000, 12)}});
        const OpenFileHandler previous = SetOpenFileHandler([&](const QString&, const QString&) { return package; });
        QVERIFY(bench.ShowReadAndGrab(u"upgrade-page.png"_s, [&] {
            bench.dialog->TabCtrl().SelectTab(2);
            bench.page.OnBrowse();
            bench.page.OnUpgrade();
            QVERIFY(WaitUntil([&] { return bench.page.Item<QProgressBar>(1056)->value() >= 30; }, 10000));
        }));
        SetOpenFileHandler(previous); // the transfer still runs: the window's end stops it
    }

    // The box a flash error brings, as the window shows it.
    void screenshotOfAFlashErrorBox()
    {
        SKIP_UNLESS_SCREENSHOTS("flash-error.png");
        CameraFaults faults;
        faults.strUpgradeError = "E002";
        UpgradeBench bench(QuickCamera(), faults);
        bench.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(bench.dialog.get()));
        QVERIFY(bench.Ready({{"cam_V1.4.elf.flash", Pattern(300, 4)}}));
        bench.dialog->TabCtrl().SelectTab(2);
        bench.page.OnUpgrade();
        QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 10000));
        const MessageBoxRecorder::Box& shown = bench.boxes.Boxes()[0];
        QCOMPARE(shown.icon, MessageIcon::Warning);
        const std::unique_ptr<QMessageBox> box = MakeMessageBox(shown.text, shown.caption, shown.icon, bench.dialog.get());
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        QVERIFY(box->grab().save(qEnvironmentVariable("ORVANE_SCREENSHOT_DIR") + u"/flash-error.png"_s));
    }

    // The twelve seconds after 重启, counted down in the status text and logged.
    void screenshotOfTheRestartCountdown()
    {
        SKIP_UNLESS_SCREENSHOTS("restart-countdown.png");
        UpgradeBench bench;
        QVERIFY(bench.ShowReadAndGrab(u"restart-countdown.png"_s, [&] {
            bench.dialog->TabCtrl().SelectTab(2);
            bench.page.OnRestart();
            QVERIFY(WaitUntil([&] { return Text(*bench.dialog, 1033).contains(u"10"_s); }, 10000));
        }));
    }

    // Stopping a transfer needs no help from the window and runs none of
    // its events afterwards; a stopped port drops what waits to be written.
    void aCancelledTransferStopsBetweenPieces()
    {
        CameraFixture camera;
        camera.WriteConfig();
        PortOwner owner;
        CSerialPort port;
        owner.Listen(port);
        QVERIFY(port.Open({.nNumber = 1, .strDevice = ResolvePortName(1), .nBaud = 9600}));
        QVERIFY(port.StartMonitor());
        QTemporaryDir dir;
        const QString path = dir.path() + u"/big.elf.flash"_s;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Pattern(100000, 10));
        file.close();

        int events = 0;
        bool finished = false;
        CImageTransfer transfer({.headerSent = [&](const QString&) { ++events; },
                                 .progress = [&](int) { ++events; },
                                 .finished = [&](const TransferReport&) { finished = true; }});
        QVERIFY(transfer.Start(port, {path, 0, 0, std::nullopt}));
        QVERIFY(!transfer.Start(port, {path, 0, 0, std::nullopt}));
        QVERIFY(WaitUntil([&] { return events >= 3; }));
        transfer.Cancel();
        QVERIFY(!transfer.IsRunning());
        const int seen = events;
        QCoreApplication::processEvents(); // what the transfer posted is queued by now
        QCOMPARE(events, seen);
        QVERIFY(!finished);
        // Pieces wait for the driver: at 9600 baud little of the image was
        // handed over, and a marker written now arrives soon after it.
        port.QueueWrite("w 01 0012\r\n");
        QVERIFY(WaitUntil([&] { return camera.Camera().Received().ends_with("w 01 0012\r\n"); }, 30000));
        qInfo("received before the marker: %zu bytes", camera.Camera().Received().size() - 11);
        QVERIFY(camera.Camera().Received().size() < 20000);

        const WriteTicket ticket = port.QueueWrite(QByteArray(50, 'x'));
        port.SignalStop();
        QCOMPARE(port.WaitWritten(ticket, 0), CSerialPort::WriteState::Dropped);
    }
};

QTEST_MAIN(TestUpgradeTransfer)
#include "tst_upgrade_transfer.moc"
