// The camera session and its upgrade run on their own, with no window and no
// command line: the simulated camera on a pseudo-terminal at the other end.
#include "session/camera_session.h"
#include "tests/support/camera_fixture.h"
#include "tests/support/port_owner.h"
#include "core/protocol/checksum.h"
#include "core/protocol/link_protocol.h"
#include "core/protocol/register_map.h"
#include "core/protocol/upgrade_protocol.h"
#include "session/upgrade_run.h"

#include <QSerialPort>
#include <QTest>
#include <QTimer>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const std::string kTrigger = "w 00 FFFF\r\nw 01 FFFF\r\n";

// An image the simulated camera runs after its next restart: it begins with its name.
QByteArray NamedImage(const char* name, int size)
{
    QByteArray bytes = QByteArray(name) + '\n';
    while (bytes.size() < size)
        bytes.append(char(bytes.size() * 37 + 11));
    return bytes;
}

// A camera that takes the first request after a restart and flashes quickly.
CameraTiming QuickCamera()
{
    CameraTiming timing;
    timing.nRestartSilenceMs = 100;
    timing.nFlashMs = 20;
    return timing;
}

// A session on the simulated camera, an upgrade run beside it, and what they told.
struct SessionBench {
    CameraFixture camera;
    int nReads = 0;
    std::optional<ReadFailure> failure;
    bool bLost = false;
    CCameraSession session;
    CCameraSession::Listening listening =
        session.Listen(CCameraSession::Rank::FrontEnd, {.configurationRead = [this] { ++nReads; },
                                                         .readFailed = [this](const ReadFailure& read) { failure = read; },
                                                         .lost = [this] { bLost = true; }});
    CUpgradeRun run{session};
    QStringList examined;
    std::function<void(CUpgradeRun::Stage)> onStage = [](CUpgradeRun::Stage) {};
    std::optional<CUpgradeRun::Result> end;

    explicit SessionBench(CameraFaults faults = {}, CameraTiming timing = QuickCamera(), PtyOptions line = {})
        : camera(std::move(faults), timing, std::move(line))
    {
    }

    bool Open()
    {
        if (!camera.Started()) {
            qWarning("the simulated camera did not start");
            return false;
        }
        if (!session.Open({.nNumber = 1, .strDevice = camera.Device()})) {
            qWarning("%s: %s", qPrintable(session.Line().OpenError().strDevice),
                     qPrintable(session.Line().OpenError().strSystemText));
            return false;
        }
        session.Line().StartMonitor();
        return true;
    }

    // One read cycle; true when it came whole.
    bool Read()
    {
        const int before = nReads;
        failure.reset();
        session.ReadCycle();
        return WaitUntil([&] { return nReads > before || failure; }, 20000) && nReads > before;
    }

    bool Upgrade(std::vector<PackageEntry> entries, bool restartAndVerify)
    {
        CUpgradeRun::Events events;
        events.examined = [this](const RunImage& image) { examined.append(image.strName); };
        events.stage = [this](CUpgradeRun::Stage stage) { onStage(stage); };
        events.finished = [this](const CUpgradeRun::Result& result) { end = result; };
        QString unused;
        if (!run.Start({std::move(entries), QString(), restartAndVerify, 0}, std::move(events), &unused))
            return false;
        return WaitUntil([&] { return end.has_value(); }, 60000);
    }
};

// What the camera receives for an image of this kind (0 elf, 1 sof, 2 font)
// taken at the first request, up to its release ("R").
std::string ImageOnTheLine(int kind, const QByteArray& image)
{
    const auto header = ImageHeader(kind, ComputeChecksum(image), std::uint32_t(image.size()));
    return kTrigger + "*****U" + std::string(reinterpret_cast<const char*>(header.data()), header.size())
           + image.toStdString() + "R";
}

// After a flashed image's release: the read that confirms the camera runs again.
const std::string kConfirm = FormatReadCommand(CUpgradeExchange::kConfirmRegister).toStdString();

} // namespace

class TestCameraSession : public QObject {
    Q_OBJECT

private slots:
    // A lost or garbled answer costs a try, not the read; three lost tries
    // name the register and what came of its answer.
    void aReadIsTriedAgainUntilItHolds()
    {
        CameraFaults faults;
        faults.replyFaults = {{ReplyFault::Kind::DropReply, 0x12, true}, {ReplyFault::Kind::Garble, 0x15, true}};
        SessionBench bench(faults);
        QVERIFY(bench.Open());
        QVERIFY(bench.Read());
        QCOMPARE(bench.nReads, 1);
        QCOMPARE(StoredRegister(bench.session.Registers().data(), 0x12), int(bench.camera.Camera().Register(0x12)));

        CameraFaults always;
        always.replyFaults = {{ReplyFault::Kind::DropChar, 0x1A, false}};
        SessionBench cut(always);
        QVERIFY(cut.Open());
        QVERIFY(!cut.Read());
        QVERIFY(cut.failure);
        QCOMPARE(cut.failure->nRegister, 0x1A);
        QCOMPARE(cut.failure->nTries, kReadTries);
        QCOMPARE(cut.failure->What(), ReadFailure::Kind::CutShort);
        QCOMPARE(cut.nReads, 0);
    }

    // Listeners hear by rank whatever order they came in: every one hears
    // each character, the first that takes it keeps it from the rest and
    // from the read cycle, and one that stops listening hears no more. A
    // reopen from inside a listener leaves the rest of the chunk unheard.
    void listenersHearByRankAndTheRestOfAChunkGoesWithItsRun()
    {
        // The camera writes each answer at once: the whole of it is heard
        // before the reopen, however late the simulator's thread wakes.
        PtyOptions atOnce;
        atOnce.bPaced = false;
        SessionBench bench({}, QuickCamera(), atOnce);
        QString order;
        const auto takesDigits = [&order](QChar who) {
            return [&order, who](char ch) {
                order += who;
                return ch >= '0' && ch <= '9';
            };
        };
        CCameraSession::Listening front = bench.session.Listen(
            CCameraSession::Rank::FrontEnd, {.heard = [&](char) { order += u'h'; }, .take = takesDigits(u'f')});
        CCameraSession::Listening search =
            bench.session.Listen(CCameraSession::Rank::Search, {.take = takesDigits(u's')});
        QVERIFY(bench.session.Searching());
        bench.session.OnReceived("x7");
        QCOMPARE(order, u"hsfhs"_s); // 'x' goes on to the front end, '7' stops at the search
        search.Reset();
        QVERIFY(!bench.session.Searching());
        order.clear();
        bench.session.OnReceived("7");
        QCOMPARE(order, u"hf"_s);
        front.Reset();

        QVERIFY(bench.Open());
        QByteArray heard;
        CCameraSession::Listening reopening = bench.session.Listen(CCameraSession::Rank::FrontEnd, {.take = [&](char ch) {
            heard += ch;
            if (heard.size() == 1)
                bench.session.Reopen();
            return true;
        }});
        bench.session.Line().QueueWrite("r 0000 \r\n");
        QVERIFY(WaitUntil([&] { return !heard.isEmpty(); }));
        QVERIFY(bench.camera.WaitReceived("r 0000 \r\n"));
        bench.session.Line().StartMonitor();
        bench.session.Line().QueueWrite("r 0001 \r\n");
        QVERIFY(WaitUntil([&] { return heard.size() >= 3; }));
        QCOMPARE(heard.left(1), QByteArray("1"));
        QCOMPARE(heard.mid(1, 2), QByteArray("13")); // nothing of "12\r\n" after its first character
    }

    // Two images of four entries (one the camera runs, one of no known
    // kind), byte for byte, then the restart, the read and the versions.
    // The port stays this run's while the camera starts: another program
    // that tries it then is refused.
    void aRunSendsWhatTheCameraLacksAndVerifiesIt()
    {
        SessionBench bench;
        std::optional<bool> otherOpened;
        bench.onStage = [&](CUpgradeRun::Stage stage) {
            if (stage == CUpgradeRun::Stage::Restarting)
                QTimer::singleShot(CUpgradeRun::kBootPauseMs / 2, [&] {
                    QSerialPort other(QString::fromStdString(bench.camera.Camera().DevicePath()));
                    otherOpened = other.open(QIODevice::ReadWrite);
                });
        };
        QVERIFY(bench.Open());
        QVERIFY(bench.Read()); // software V1.3, hardware V1.2
        const QByteArray elf = NamedImage("cam_V1.4.elf.flash", 1500);
        const QByteArray sof = NamedImage("fpga_V1.3.sof.flash", 700);
        bench.camera.Camera().ClearCapture();
        QVERIFY(bench.Upgrade({{u"cam_V1.3.elf.flash"_s, "running"},
                               {u"notes.txt"_s, "notes"},
                               {u"cam_V1.4.elf.flash"_s, elf},
                               {u"fpga_V1.3.sof.flash"_s, sof}},
                              true));
        QCOMPARE(bench.end->end, CUpgradeRun::End::Done);
        QCOMPARE(bench.end->nImagesDone, 2);
        QCOMPARE(bench.examined, (QStringList{u"notes.txt"_s, u"cam_V1.4.elf.flash"_s, u"fpga_V1.3.sof.flash"_s}));
        const std::string line = bench.camera.Camera().Received();
        const std::string images = ImageOnTheLine(0, elf) + kConfirm + ImageOnTheLine(1, sof) + kConfirm;
        QCOMPARE(QByteArray::fromStdString(line.substr(0, images.size())), QByteArray::fromStdString(images));
        QCOMPARE(QByteArray::fromStdString(line.substr(images.size(), kTrigger.size())), QByteArray::fromStdString(kTrigger));
        QCOMPARE(bench.end->after.strSoftware, u"V1.4"_s);
        QCOMPARE(bench.end->after.strHardware, u"V1.3"_s);
        QVERIFY(bench.end->nMsSinceRestart >= CUpgradeRun::kBootPauseMs);
        QVERIFY(!bench.run.Running());
        QCOMPARE(otherOpened, std::optional<bool>(false));
    }

    // A camera that keeps its old version after the restart is caught.
    void aCameraThatKeepsItsVersionIsNotVerified()
    {
        CameraFaults faults;
        faults.bKeepVersion = true;
        SessionBench bench(faults);
        QVERIFY(bench.Open());
        QVERIFY(bench.Read());
        QVERIFY(bench.Upgrade({{u"cam_V1.4.elf.flash"_s, NamedImage("cam_V1.4.elf.flash", 300)}}, true));
        QCOMPARE(bench.end->end, CUpgradeRun::End::NotVerified);
        QCOMPARE(bench.end->mismatches.size(), std::size_t(1));
        QCOMPARE(bench.end->mismatches[0].strReported, u"V1.3"_s);
        QCOMPARE(bench.end->mismatches[0].strExpected, u"V1.4"_s);
    }

    // A report ends the run at its image, and the camera is released; the
    // next image is never triggered.
    void aReportEndsTheRunAndReleasesTheCamera()
    {
        CameraFaults faults;
        faults.strUpgradeError = "E002";
        SessionBench bench(faults);
        QVERIFY(bench.Open());
        QVERIFY(bench.Read());
        const QByteArray elf = NamedImage("cam_V1.4.elf.flash", 400);
        bench.camera.Camera().ClearCapture();
        QVERIFY(bench.Upgrade({{u"cam_V1.4.elf.flash"_s, elf}, {u"cn.font.flash"_s, "font"}}, true));
        QCOMPARE(bench.end->end, CUpgradeRun::End::Reported);
        QCOMPARE(bench.end->strDetail, u"E002"_s);
        QCOMPARE(bench.end->image.strName, u"cam_V1.4.elf.flash"_s);
        QVERIFY(bench.camera.WaitReceived(ImageOnTheLine(0, elf)));
        // Afterwards the camera answers a read again, and nothing else went out before it.
        QVERIFY(bench.Read());
        QVERIFY(bench.camera.Camera().Received().starts_with(ImageOnTheLine(0, elf) + "r "));
    }

    // The answer to the last request counts: the camera used to be given up
    // on as its 'A' came, and was left waiting for an image.
    void theLastRequestIsWaitedFor()
    {
        CameraTiming late = QuickCamera();
        late.nRestartSilenceMs = (kRequests - 1) * kRequestPeriodMs + kRequestPeriodMs / 2;
        SessionBench bench({}, late);
        QVERIFY(bench.Open());
        QVERIFY(bench.Read());
        QVERIFY(bench.Upgrade({{u"cam_V1.4.elf.flash"_s, NamedImage("cam_V1.4.elf.flash", 300)}}, false));
        QCOMPARE(bench.end->end, CUpgradeRun::End::Done);
        QCOMPARE(bench.camera.Camera().Images().size(), std::size_t(1));
    }

    // A report right after an image's 'D' belongs to that image, not to the
    // next one, for which nothing was asked yet: the 'D' may have been noise
    // while the camera flashed, and its report wins.
    void aReportAfterTheDBelongsToItsImage()
    {
        CameraFaults faults;
        faults.strNoiseAfterVerdict = "E002";
        SessionBench bench(faults);
        QVERIFY(bench.Open());
        QVERIFY(bench.Read());
        QVERIFY(bench.Upgrade({{u"cam_V1.4.elf.flash"_s, NamedImage("cam_V1.4.elf.flash", 300)},
                               {u"fpga_V1.3.sof.flash"_s, NamedImage("fpga_V1.3.sof.flash", 200)}},
                              false));
        QCOMPARE(bench.end->end, CUpgradeRun::End::Reported);
        QCOMPARE(bench.end->image.strName, u"cam_V1.4.elf.flash"_s);
        QCOMPARE(bench.camera.Camera().Images().size(), std::size_t(1));
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with("R"); }));
    }

    // Stopped once the camera has answered and "U" is out, before the first
    // byte of the image: the camera waits for a header, so it gets the image
    // as filler it refuses, then "R"; a bare "R" there used to be taken as
    // the header's first byte, and the camera answered nothing after.
    void aStopBetweenTheAnswerAndTheImageSendsFiller()
    {
        CameraTiming deaf = QuickCamera();
        deaf.nRestartSilenceMs = 600000; // the test answers for the camera
        SessionBench bench({}, deaf);
        QVERIFY(bench.Open());
        QVERIFY(bench.Read());
        bench.camera.Camera().ClearCapture();
        const QByteArray image = NamedImage("cam_V1.4.elf.flash", 450);
        CUpgradeRun::Events events;
        events.finished = [&](const CUpgradeRun::Result& result) { bench.end = result; };
        bool sent = false;
        events.exchange.sent = [&](const TransferReport&) { sent = true; };
        QString unused;
        QVERIFY(bench.run.Start({{{u"cam_V1.4.elf.flash"_s, image}}, QString(), false, 0}, std::move(events), &unused));
        QVERIFY(bench.camera.WaitReceived(kTrigger));
        bench.run.Timers().Fire(CUpgradeExchange::kTimerRequest);
        QVERIFY(bench.camera.WaitReceived(kTrigger + "*****"));
        bench.session.OnReceived("A");
        QVERIFY(bench.run.Abandon());
        QVERIFY(WaitUntil([&] { return sent; }, 10000));
        bench.run.Timers().Fire(CUpgradeExchange::kTimerAfterTransfer); // the camera says nothing
        QVERIFY(bench.end.has_value());
        QCOMPARE(bench.end->end, CUpgradeRun::End::Silent);
        const std::string head = kTrigger + "*****U";
        QVERIFY(WaitUntil([&] { return bench.camera.Camera().Received().ends_with("R"); }));
        const std::string line = bench.camera.Camera().Received();
        const std::string expected = ImageOnTheLine(0, image);
        QCOMPARE(line.size(), expected.size());
        QCOMPARE(line.substr(0, head.size() + 7), expected.substr(0, head.size() + 7)); // the header as announced
        QVERIFY(line != expected); // what followed was not the image
    }

    // The camera unplugged in the middle of an image ends the run at once.
    void aVanishedCameraEndsTheRun()
    {
        SessionBench bench;
        QVERIFY(bench.Open());
        QVERIFY(bench.Read());
        CUpgradeRun::Events events;
        events.exchange.progress = [&](int percent) {
            if (percent >= 20)
                bench.camera.Camera().Vanish();
        };
        events.finished = [&](const CUpgradeRun::Result& result) { bench.end = result; };
        QString unused;
        QVERIFY(bench.run.Start({{{u"cam_V1.4.elf.flash"_s, NamedImage("cam_V1.4.elf.flash", 20000)}}, QString(), true, 0},
                                std::move(events), &unused));
        QVERIFY(WaitUntil([&] { return bench.end.has_value(); }, 20000));
        QCOMPARE(bench.end->end, CUpgradeRun::End::PortGone);
        QCOMPARE(bench.end->nImagesDone, 0);
        QVERIFY(bench.bLost);
    }
};

QTEST_GUILESS_MAIN(TestCameraSession)
#include "tst_camera_session.moc"
