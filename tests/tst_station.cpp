// The production station in the window: cameras plugged in one after
// another on its slots, each provisioned as orvane-cli provision --watch
// provisions it, green or red with the reason, counted and reported.
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "gui/station/station_dlg.h"
#include "gui/station/station_slot.h"
#include "tests/support/cli_run.h"
#include "tests/support/dialog_bench.h"
#include "tests/support/package_writer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A package whose one image names the version the camera runs once restarted.
QString PackageIn(const QTemporaryDir& dir)
{
    const QString package = dir.filePath(u"cam_V1.4.pkg"_s);
    WritePackage(package, {{"cam_V1.4.elf.flash", "cam_V1.4.elf.flash\n" + QByteArray(3000, 'e')}});
    return package;
}

using Cameras = std::vector<std::unique_ptr<CameraFixture>>;

// Cameras not plugged in yet: they answer nothing until unmuted.
Cameras Unplugged(int count, const CameraFaults& faults = {})
{
    Cameras cameras;
    for (int i = 0; i < count; ++i) {
        cameras.push_back(std::make_unique<CameraFixture>(faults, QuickCamera(50)));
        cameras.back()->Camera().SetMute(true);
    }
    return cameras;
}

QStringList PortsOf(const Cameras& cameras)
{
    QStringList ports;
    for (const auto& camera : cameras)
        ports.append(Port(*camera));
    return ports;
}

std::vector<QJsonObject> ReportLines(const QString& path)
{
    std::vector<QJsonObject> lines;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.isEmpty())
                lines.push_back(QJsonDocument::fromJson(line).object());
    return lines;
}

// A station set up for `cameras` with the package and a settings file in `dir`.
struct StationBench {
    QTemporaryDir dir;
    MessageBoxRecorder boxes;
    CStationDlg station;
    QString strReport = dir.filePath(u"shift.jsonl"_s);

    explicit StationBench(const Cameras& cameras)
    {
        station.SetPorts(PortsOf(cameras));
        station.SetPackage(PackageIn(dir));
        station.SetSettings(WriteFile(dir, u"site.json"_s, "{\"format\": 1, \"brightness\": 70}\r\n"));
        station.SetReport(strReport);
    }

    bool SlotsAre(SlotColour colour) const
    {
        return std::all_of(station.Slots().begin(), station.Slots().end(),
                           [colour](const CStationSlot* slot) { return slot->Colour() == colour; });
    }

    // Closed while it runs: it asks, then releases every camera before it goes.
    bool CloseReleasing()
    {
        boxes.SetAnswer(true);
        station.close();
        return WaitUntil([&] { return !station.Running() && !station.isVisible(); }, 20000)
               && boxes.Boxes().size() == 1 && boxes.Boxes()[0].text == LoadString(Ids::StationAskClose);
    }
};

} // namespace

class TestStation : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { CameraFixture().WriteConfig(); }

    // Four cameras plugged in at different times: each is provisioned once,
    // its slot goes green with the versions before and after, the counters
    // say 4 and 0, and the report has a line for each.
    void camerasPluggedInOneAfterAnotherGoGreen()
    {
        SKIP_SHOWN_WINDOW_UNDER_TSAN();
        Cameras cameras = Unplugged(4);
        StationBench bench(cameras);
        QVERIFY2(bench.station.PackageSummary().startsWith(u"软件 V1.4，硬件 -，校验 "_s),
                 qPrintable(bench.station.PackageSummary()));
        QVERIFY(bench.station.SettingsSummary().startsWith(u"1 项设置，校验 "_s));
        bench.station.show();
        bench.station.SetLocked(true);
        bench.station.OnStart();
        QVERIFY(bench.station.Running());
        QVERIFY(WaitUntil([&] {
            return std::all_of(bench.station.Slots().begin(), bench.station.Slots().end(), [](const CStationSlot* slot) {
                return slot->StageText() == LoadString(Ids::SlotWaiting);
            });
        }));
        QVERIFY(bench.SlotsAre(SlotColour::Waiting));

        for (std::size_t i = 0; i < cameras.size(); ++i) {
            cameras[i]->Camera().SetMute(false); // plugged in
            QVERIFY(WaitUntil([&] { return bench.station.Slots()[i]->Colour() == SlotColour::Working; }, 10000));
        }
        QVERIFY(WaitUntil([&] { return bench.SlotsAre(SlotColour::Passed); }, 60000));
        QCOMPARE(bench.station.CountersText(), LoadString(Ids::StationCounters).arg(4).arg(0));
        QCOMPARE(bench.station.Slots()[2]->VersionsText(), LoadString(Ids::SlotVersions).arg(u"V1.3/V1.2"_s, u"V1.4/V1.2"_s));
        const std::vector<QJsonObject> lines = ReportLines(bench.strReport);
        QCOMPARE(lines.size(), std::size_t(4));
        for (const QJsonObject& line : lines)
            QCOMPARE(line[u"result"_s].toString(), u"ok"_s);
        for (const auto& camera : cameras) {
            QCOMPARE(camera->Camera().Register(0x12), 70);
            QCOMPARE(camera->Camera().Images().size(), std::size_t(1)); // once, though it stays plugged in
        }
        if (!qEnvironmentVariableIsEmpty("ORVANE_SCREENSHOT_DIR"))
            QVERIFY(bench.station.grab().save(qEnvironmentVariable("ORVANE_SCREENSHOT_DIR") + u"/station.png"_s));
        QVERIFY(bench.CloseReleasing());
    }

    // A camera that reports E002, and one unplugged mid-image, turn their
    // slots red with the reason and what to do, while the others go green;
    // the counters count them.
    void failuresTurnTheirSlotsRedAndTheOthersGoOn()
    {
        // Not shown: the slots' threads under ThreadSanitizer too.
        CameraFaults flashError;
        flashError.strUpgradeError = "E002";
        Cameras cameras = Unplugged(2);
        Cameras failing = Unplugged(1, flashError);
        cameras.push_back(std::move(failing[0]));
        PtyOptions unplugged;
        unplugged.nVanishAfterBytes = 2000; // the read is some 300 bytes, the image 3000
        cameras.push_back(std::make_unique<CameraFixture>(CameraFaults{}, QuickCamera(50), unplugged));
        cameras.back()->Camera().SetMute(true);
        StationBench bench(cameras);
        bench.station.OnStart();
        for (const auto& camera : cameras)
            camera->Camera().SetMute(false);
        QVERIFY(WaitUntil([&] { return bench.station.CountersText() == LoadString(Ids::StationCounters).arg(2).arg(2); },
                          60000));
        QCOMPARE(bench.station.Slots()[0]->Colour(), SlotColour::Passed);
        QCOMPARE(bench.station.Slots()[1]->Colour(), SlotColour::Passed);
        QCOMPARE(bench.station.Slots()[2]->Colour(), SlotColour::Failed);
        const QString reason = bench.station.Slots()[2]->ReasonText();
        QVERIFY2(reason.startsWith(LoadString(Ids::SlotCameraReport).arg(LoadString(Ids::ErrorFlash))) && reason.contains(u'\n'),
                 qPrintable(reason));
        // What its port shows afterwards is not checked: the system may hand the
        // freed pseudo-terminal's number to another test's camera meanwhile.
        QCOMPARE(bench.station.Slots()[3]->ReasonText(), LoadString(Ids::SlotUnpluggedMidImage));
        QVERIFY(bench.CloseReleasing());
    }

    // Nothing starts on a setup that cannot work: no port ticked, a file
    // that is not a package, a port another program (another station) holds.
    void theSetupIsCheckedBeforeAnythingIsSent()
    {
        Cameras cameras = Unplugged(1);
        StationBench bench(cameras);
        QProcess holder;
        holder.setStandardInputFile(Port(*cameras[0]));
        holder.start(u"sleep"_s, {u"30"_s});
        QVERIFY(holder.waitForStarted());
        bench.station.OnStart();
        holder.kill();
        holder.waitForFinished();
        QVERIFY(!bench.station.Running());
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QVERIFY2(bench.boxes.Boxes()[0].text.startsWith(u"串口 %1 正被其他程序占用（sleep (pid "_s.arg(Port(*cameras[0]))),
                 qPrintable(bench.boxes.Boxes()[0].text));

        bench.station.SetPackage(WriteFile(bench.dir, u"notes.txt"_s, "not a package"));
        QVERIFY(bench.station.PackageSummary().startsWith(bench.dir.filePath(u"notes.txt"_s) + u"："_s));
        bench.station.OnStart();
        QVERIFY(!bench.station.Running());
        QCOMPARE(bench.boxes.Boxes().size(), 2);
        QVERIFY(bench.boxes.Boxes()[1].text.startsWith(bench.dir.filePath(u"notes.txt"_s)));
        QVERIFY(cameras[0]->Camera().Received().empty());

        // Put right on disk after its fault was shown: read again at the start, and shown.
        WritePackage(bench.dir.filePath(u"notes.txt"_s), {{"cam_V1.4.elf.flash", "cam_V1.4.elf.flash\n"}});
        bench.station.OnStart();
        QVERIFY(bench.station.Running());
        QVERIFY2(bench.station.PackageSummary().startsWith(u"软件 V1.4"_s), qPrintable(bench.station.PackageSummary()));
        bench.station.OnStop();
        QVERIFY(WaitUntil([&] { return !bench.station.Running(); }, 20000));
        QCOMPARE(bench.boxes.Boxes().size(), 2);
        QVERIFY(OnlyReadCommands(cameras[0]->Camera().Received()));
    }
};

QTEST_MAIN(TestStation)
#include "tst_station.moc"
