#include "pages/update/checksum.h"
#include "pages/update/image_files.h"
#include "pages/update/package_reader.h"
#include "pages/update/upgrade_protocol.h"
#include "res/string_ids.h"
#include "tests/support/package_writer.h"

#include <minizip/zip.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

std::optional<PackageContents> Read(const QByteArray& package, const PackageLimits& limits = {},
                                    PackageFault* fault = nullptr)
{
    PackageFault ignored{};
    return ReadPackage(package, [](const QString&) { return true; }, limits, fault ? fault : &ignored);
}

QStringList Names(const PackageContents& contents)
{
    QStringList names;
    for (const PackageEntry& entry : contents.entries)
        names.append(entry.strName);
    return names;
}

} // namespace

class TestUpgradePackage : public QObject {
    Q_OBJECT

private slots:
    // The camera checks images with exactly this fold; the simulator uses the same function.
    void checksumVectors()
    {
        QCOMPARE(ComputeChecksum(QByteArray("abc")), 0x9D3B);
        QCOMPARE(ComputeChecksum(QByteArray()), 0xFFFF);
        QCOMPARE(ComputeChecksum(QByteArray(1, '\x01')), 0xFFFE);
        QCOMPARE(ComputeChecksum(QByteArray(65538, '\xFF')), 0x0001);
        QByteArray ramp(262144, '\0');
        for (int i = 0; i < ramp.size(); ++i)
            ramp[i] = char(i & 0xFF);
        QCOMPARE(ComputeChecksum(ramp), 0xFF01);
    }

    void imageHeaderCarriesTypeChecksumAndLength()
    {
        const std::array<unsigned char, 7> sof = ImageHeader(1, 0x1234, 250);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(sof.data()), 7), QByteArray("\x02\x12\x34\x00\x00\x00\xFA", 7));
        const std::array<unsigned char, 7> font = ImageHeader(2, 0xFFFF, 0x01020304);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(font.data()), 7), QByteArray("\x03\xFF\xFF\x01\x02\x03\x04", 7));
        QCOMPARE(ImageTypeCode(0), 1);
    }

    void piecesOfAHundredBytes()
    {
        const std::vector<ImagePiece> expected = {{0, 100, 40}, {100, 100, 80}, {200, 50, 100}};
        QCOMPARE(PieceSchedule(250), expected);
        QVERIFY(PieceSchedule(0).empty());
        QCOMPARE(PieceSchedule(100), (std::vector<ImagePiece>{{0, 100, 100}}));
        const std::vector<ImagePiece> large = PieceSchedule(256 * 1024);
        QCOMPARE(large.size(), std::size_t(2622));
        QCOMPARE(large.back().progress, 100);
        QCOMPARE(large.back().size, std::size_t(256 * 1024 % 100));
    }

    void repliesAndReports()
    {
        using E = CUpgradeReplies::Event;
        CUpgradeReplies replies;
        QCOMPARE(replies.Receive('\r'), E::None);
        QCOMPARE(replies.Receive('A'), E::Ready);
        QCOMPARE(replies.Receive('S'), E::Stored);
        QCOMPARE(replies.Receive('D'), E::Done);
        // Inside a report every character counts, 'A' and 'D' included.
        for (const char ch : std::string("E0D"))
            QCOMPARE(replies.Receive(ch), E::None);
        QCOMPARE(replies.Receive('A'), E::Report);
        QCOMPARE(replies.Report(), std::string("E0DA"));
        QCOMPARE(ReportStringId(replies.Report()), 0); // none of the five: no box
        for (const char ch : std::string("E00"))
            replies.Receive(ch);
        QCOMPARE(replies.Receive('1'), E::Report);
        QCOMPARE(ReportStringId(replies.Report()), Ids::ErrorChecksum);
        QCOMPARE(ReportStringId("E010"), Ids::ErrorUnknown);
        QCOMPARE(replies.Receive('D'), E::Done);
    }

    void readsEveryEntryFromMemory()
    {
        const QByteArray elf(2500, 'e');
        const QByteArray package = Tagged(ZipArchive({{"cam_V1.3.elf.flash", elf}, {"cam.font.flash", "font"}}));
        const QByteArray before = package;
        const std::optional<PackageContents> contents = Read(package);
        QVERIFY(contents);
        QCOMPARE(Names(*contents), (QStringList{u"cam_V1.3.elf.flash"_s, u"cam.font.flash"_s}));
        QCOMPARE(contents->entries[0].bytes, elf);
        QCOMPARE(package, before); // read, never written
        QVERIFY(contents->skipped.isEmpty());
    }

    void refusesWhatIsNotAPackage()
    {
        PackageFault fault{};
        QVERIFY(!Read(ZipArchive({{"a.elf.flash", "x"}}), {}, &fault)); // an ordinary "PK" zip
        QCOMPARE(fault, PackageFault::NotTagged);
        QVERIFY(!Read("QZ this is no zip at all", {}, &fault));
        QCOMPARE(fault, PackageFault::NotAZip);
        QVERIFY(!Read(QByteArray(), {}, &fault));
        QCOMPARE(fault, PackageFault::NotTagged);
    }

    // Names with a directory part used to be written wherever they pointed.
    void leavesOutNamesThatAreNotPlain()
    {
        const std::optional<PackageContents> contents = Read(Tagged(
            ZipArchive({{"../escape.elf.flash", "x"}, {"dir/a.sof.flash", "y"}, {"/abs.elf.flash", "z"}, {"ok.elf.flash", "w"}})));
        QVERIFY(contents);
        QCOMPARE(Names(*contents), QStringList{u"ok.elf.flash"_s});
        QCOMPARE(contents->skipped.size(), 3);
        QVERIFY(contents->skipped[0].startsWith(u"../escape.elf.flash: not a plain file name"_s));
        for (const char* name : {"a..b", "a\\b", "C:x", ""})
            QVERIFY(!IsPlainEntryName(QString::fromLatin1(name)));
        QVERIFY(IsPlainEntryName(u"cam_V1.2.elf.flash"_s));
    }

    void limitsWhatAPackageMayUnpack()
    {
        PackageLimits limits;
        limits.nEntryMax = 1000;
        limits.nTotalMax = 1500;
        limits.nMaxImages = 3;
        const std::optional<PackageContents> contents =
            Read(Tagged(ZipArchive({{"bomb.elf.flash", QByteArray(5000, '\0')}, {"a.elf.flash", QByteArray(900, 'a')},
                             {"b.elf.flash", QByteArray(900, 'b')}, {"c.font.flash", "c"}, {"d.font.flash", "d"},
                             {"e.font.flash", "e"}})),
                 limits);
        QVERIFY(contents);
        // The bomb is refused; b would pass the total; e is a fourth image.
        QCOMPARE(Names(*contents), (QStringList{u"a.elf.flash"_s, u"c.font.flash"_s, u"d.font.flash"_s}));
        QCOMPARE(contents->skipped.size(), 3);
        QVERIFY(contents->skipped[0].contains(u"more than an upgrade may"_s));
        QVERIFY(contents->skipped[2].contains(u"more than 3 images"_s));
    }

    // minizip closes a short entry without complaint; it used to be kept.
    void leavesOutAnEntryShorterThanDeclared()
    {
        QByteArray zip = ZipArchive({{"short.elf.flash", "0123456789"}, {"fine.elf.flash", "abc"}}, 0);
        // Declare 20 bytes in the central directory's record of the first (stored) entry.
        const qsizetype central = zip.indexOf("PK\x01\x02");
        QVERIFY(central > 0);
        zip[central + 24] = char(20);
        const std::optional<PackageContents> contents = Read(Tagged(zip));
        QVERIFY(contents);
        QCOMPARE(Names(*contents), QStringList{u"fine.elf.flash"_s});
        QVERIFY(contents->skipped.value(0).startsWith(u"short.elf.flash: "_s));
    }

    void imageNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("extract"); // with software V1.2 and hardware V2.0 shown
        QTest::newRow("elf already running") << u"cam_V1.2.elf.flash"_s << 0 << u"V1.2"_s << 0;
        QTest::newRow("elf, case ignored") << u"cam_v1.2.elf.flash"_s << 0 << u"v1.2"_s << 0;
        QTest::newRow("newer elf") << u"cam_V1.3.elf.flash"_s << 0 << u"V1.3"_s << 1;
        QTest::newRow("sof against hardware") << u"fpga_V2.0.sof.flash"_s << 1 << u"V2.0"_s << 0;
        QTest::newRow("sof with V1.2") << u"fpga_V1.2.sof.flash"_s << 1 << u"V1.2"_s << 1;
        QTest::newRow("font always") << u"cn_V1.2.font.flash"_s << 2 << u"V1.2"_s << 1;
        QTest::newRow("text file") << u"readme.txt"_s << 3 << QString() << 1;
        QTest::newRow("no version") << u"cam.elf.flash"_s << 0 << u"cam.elf"_s << 1;
    }

    void imageNames()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QString, version);
        QFETCH(int, extract);
        QCOMPARE(int(ImageKindForName(name)), kind);
        QCOMPARE(ImageVersion(name), version);
        QCOMPARE(CheckImageName(name, u"V1.2"_s, u"V2.0"_s), extract);
    }

    // Removing the temporary directory used to follow links out of it.
    void deleteTreeNeverFollowsALink()
    {
        QTemporaryDir outside;
        QFile precious(outside.path() + u"/precious.txt"_s);
        QVERIFY(precious.open(QIODevice::WriteOnly));
        precious.write("keep");
        precious.close();
        QTemporaryDir base;
        const QString temp = base.path() + u"/temp"_s;
        QVERIFY(QDir().mkpath(temp + u"/sub"_s));
        QVERIFY(QFile::link(outside.path(), temp + u"/link"_s));
        QFile old(temp + u"/sub/old.elf.flash"_s);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        QFile::setPermissions(old.fileName(), QFile::ReadOwner); // read-only, removed all the same
        QVERIFY(DeleteTree(temp));
        QVERIFY(!QFileInfo::exists(temp));
        QVERIFY(QFileInfo::exists(precious.fileName()));
    }

    void tempDirBesideTheProgramOrPerUser()
    {
        QTemporaryDir program;
        QTemporaryDir user;
        QVERIFY(QDir().mkpath(program.path() + u"/temp/old"_s));
        const TempDirChoice beside = PrepareTempDir(program.path(), user.path());
        QCOMPARE(beside.strPath, program.path() + u"/temp"_s);
        QVERIFY(!beside.bPerUser);
        QVERIFY(QDir(beside.strPath).isEmpty()); // emptied
        // A directory nothing can be created in (as for /usr/bin, even as root).
        const TempDirChoice fallback = PrepareTempDir(u"/proc"_s, user.path());
        QCOMPARE(fallback.strPath, user.path() + u"/temp"_s);
        QVERIFY(fallback.bPerUser);
        QVERIFY(QFileInfo(fallback.strPath).isDir());
        QVERIFY(PrepareTempDir(u"/proc"_s, u"/proc/self"_s).strPath.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestUpgradePackage)
#include "tst_upgrade_package.moc"
