#include "core/protocol/checksum.h"
#include "core/firmware/image_files.h"
#include "core/firmware/package_reader.h"
#include "core/protocol/upgrade_protocol.h"
#include "tests/support/package_writer.h"

#include <minizip/zip.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

std::optional<PackageContents> Read(const QByteArray& package, const PackageLimits& limits = {},
                                    PackageError* error = nullptr)
{
    PackageError ignored;
    return ReadPackage(package, limits, error ? error : &ignored);
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
        for (const char ch : std::string("E00"))
            QCOMPARE(replies.Receive(ch), E::None);
        QCOMPARE(replies.Receive('1'), E::Report);
        QCOMPARE(replies.Report(), std::string("E001"));
        // Noise that begins with 'E' used to swallow the camera's 'S' and 'D'
        // as the rest of a report.
        QCOMPARE(replies.Receive('E'), E::None);
        QCOMPARE(replies.Receive('0'), E::None);
        QCOMPARE(replies.Receive('S'), E::Stored);
        QCOMPARE(replies.Receive('E'), E::None);
        QCOMPARE(replies.Receive('D'), E::Done);
        for (const char ch : std::string("EE00"))
            QCOMPARE(replies.Receive(ch), E::None);
        QCOMPARE(replies.Receive('7'), E::Report);
        QCOMPARE(replies.Report(), std::string("E007"));
    }

    void readsEveryEntryFromMemory()
    {
        const QByteArray elf(2500, 'e');
        const QByteArray package = Tagged(ZipArchive(
            {{"cam_V1.3.elf.flash", elf}, {"cam.font.flash", "font"}, {"empty.txt", ""}, {"readme.txt", "notes"}}));
        const QByteArray before = package;
        const std::optional<PackageContents> contents = Read(package);
        QVERIFY(contents);
        QCOMPARE(Names(*contents), (QStringList{u"cam_V1.3.elf.flash"_s, u"cam.font.flash"_s, u"empty.txt"_s,
                                                u"readme.txt"_s}));
        QCOMPARE(contents->entries[0].bytes, elf);
        QCOMPARE(contents->entries[2].bytes.size(), 0);
        QCOMPARE(package, before); // read, never written
        QVERIFY(contents->skipped.isEmpty());
    }

    void refusesWhatIsNotAPackage()
    {
        PackageError error;
        QVERIFY(!Read(ZipArchive({{"a.elf.flash", "x"}}), {}, &error)); // an ordinary "PK" zip
        QCOMPARE(error.fault, PackageFault::NotTagged);
        QVERIFY(!Read("QZ this is no zip at all", {}, &error));
        QCOMPARE(error.fault, PackageFault::NotAZip);
        QVERIFY(!Read(QByteArray(), {}, &error));
        QCOMPARE(error.fault, PackageFault::NotTagged);
        // Readable, but nothing in it is an image: it used to be "already installed".
        QVERIFY(!Read(Tagged(ZipArchive({{"readme.txt", "notes"}})), {}, &error));
        QCOMPARE(error.fault, PackageFault::NoImages);
    }

    // Names with a directory part used to be written wherever they pointed.
    void leavesOutNamesThatAreNotPlain()
    {
        const std::optional<PackageContents> contents = Read(Tagged(ZipArchive(
            {{"../escape.elf.flash", "x"}, {"dir/a.sof.flash", "y"}, {"/abs.elf.flash", "z"}, {".", "d"}, {"ok.elf.flash", "w"}})));
        QVERIFY(contents);
        QCOMPARE(Names(*contents), QStringList{u"ok.elf.flash"_s});
        QCOMPARE(contents->skipped.size(), 4);
        QVERIFY(contents->skipped[0].startsWith(u"../escape.elf.flash: not a plain file name"_s));
        for (const char* name : {"a..b", "a\\b", "C:x", "", "."})
            QVERIFY(!IsPlainEntryName(QString::fromLatin1(name)));
        QVERIFY(IsPlainEntryName(u"cam_V1.2.elf.flash"_s));
    }

    // Names reach the terminal and the log: none may move the cursor or fake a line.
    void namesAreShownWithoutControlCharacters()
    {
        QCOMPARE(PrintableName(u"\x1b[2Jcam\r\nupgrade finished\t.elf.flash"_s),
                 u"\\x1b[2Jcam\\x0d\\x0aupgrade finished\\x09.elf.flash"_s);
        QCOMPARE(PrintableName(u"固件_V1.2.elf.flash"_s), u"固件_V1.2.elf.flash"_s);
    }

    // Each of these used to be left out with the rest sent, or called
    // "already installed" when nothing was left: the package is refused
    // whole, naming the entry and why.
    void refusesADamagedOrAmbiguousPackageWhole_data()
    {
        QTest::addColumn<QByteArray>("package");
        QTest::addColumn<QString>("detail");
        const PackageEntries two = {{"good.font.flash", "font"}, {"cam_V1.4.elf.flash", "0123456789"}};

        QByteArray crc = ZipArchive(two, 0);
        PatchZipRecords(crc, kZipCentral, 16, 0xBEEF);
        PatchZipRecords(crc, kZipLocal, 14, 0xBEEF);
        QTest::newRow("CRC") << Tagged(crc) << u"good.font.flash: fails its CRC check"_s;

        QByteArray shortEntry = ZipArchive(two, 0);
        // The second entry declares 20 bytes in both its headers and holds 10.
        shortEntry[shortEntry.indexOf(kZipCentral, shortEntry.indexOf(kZipCentral) + 4) + 24] = char(20);
        shortEntry[shortEntry.indexOf(kZipLocal, 4) + 22] = char(20);
        QTest::newRow("shorter than declared") << Tagged(shortEntry) << u"cam_V1.4.elf.flash: ends after 10 of its 20 bytes"_s;

        QByteArray counted = ZipArchive(two);
        PatchZipRecords(counted, kZipEnd, 8, 3); // the end record counts an entry the directory does not hold
        PatchZipRecords(counted, kZipEnd, 10, 3);
        QTest::newRow("damaged directory") << Tagged(counted) << u"its list of entries is damaged (2 of 3 entries readable)"_s;

        QByteArray encrypted = ZipArchive(two);
        PatchZipRecords(encrypted, kZipCentral, 8, 0x1, true);
        PatchZipRecords(encrypted, kZipLocal, 6, 0x1, true);
        QTest::newRow("encrypted") << Tagged(encrypted) << u"good.font.flash: is encrypted"_s;

        // minizip cannot expand bzip2 and used to pass its raw bytes without a CRC check.
        QByteArray bzip2 = ZipArchive(two, 0);
        PatchZipRecords(bzip2, kZipCentral, 10, 12);
        PatchZipRecords(bzip2, kZipLocal, 8, 12);
        QTest::newRow("bzip2") << Tagged(bzip2)
                               << u"good.font.flash: is compressed with method 12; only stored and deflated entries can be checked"_s;

        QTest::newRow("two of one name") << Tagged(ZipArchive({{"a.elf.flash", "1"}, {"b.sof.flash", "2"}, {"a.elf.flash", "3"}}))
                                         << u"a.elf.flash: the package holds two entries of this name"_s;
        QTest::newRow("one name in two cases") << Tagged(ZipArchive({{"Cam.elf.flash", "1"}, {"cam.elf.flash", "2"}}))
                                               << u"cam.elf.flash: the package holds two entries of this name"_s;

        PackageEntries many;
        for (int i = 1; i <= 30; ++i)
            many.push_back({QByteArray::number(i) + ".font.flash", "f"});
        QTest::newRow("30 images") << Tagged(ZipArchive(many))
                                   << u"21.font.flash: the package holds more than 20 files, more than an upgrade takes"_s;

        // A recovery would flash empty firmware.
        QTest::newRow("an empty image") << Tagged(ZipArchive({{"notes.txt", ""}, {"cam_V1.4.elf.flash", ""}}))
                                        << u"cam_V1.4.elf.flash: the image is empty: a camera would flash nothing"_s;

        const QByteArray longName = QByteArray(300, 'n') + ".elf.flash";
        QTest::newRow("name over 260 bytes") << Tagged(ZipArchive({{"a.elf.flash", "1"}, {longName, "2"}}))
                                             << QString::fromLatin1(longName.left(260)) + u": its name is longer than 260 bytes"_s;
    }

    void refusesADamagedOrAmbiguousPackageWhole()
    {
        QFETCH(QByteArray, package);
        QFETCH(QString, detail);
        PackageError error;
        QVERIFY(!Read(package, {}, &error));
        QCOMPARE(error.strDetail, detail);
        QVERIFY(error.fault == PackageFault::BadEntry);
    }

    void limitsWhatAPackageMayUnpack()
    {
        PackageLimits limits;
        limits.nEntryMax = 1000;
        limits.nTotalMax = 1500;
        PackageError error;
        QVERIFY(!Read(Tagged(ZipArchive({{"a.elf.flash", QByteArray(900, 'a')}, {"bomb.elf.flash", QByteArray(5000, '\0')}})),
                      limits, &error));
        // The message shows the limits, not the room that was left.
        QCOMPARE(error.strDetail,
                 u"bomb.elf.flash: unpacks to 5000 bytes, more than an upgrade may (1000 bytes for one image, 1500 bytes "
                 "for the whole package)"_s);
        QVERIFY(!Read(Tagged(ZipArchive({{"a.elf.flash", QByteArray(900, 'a')}, {"b.elf.flash", QByteArray(900, 'b')}})),
                      limits, &error));
        QVERIFY(error.strDetail.startsWith(u"b.elf.flash: unpacks to 900 bytes"_s));
        QVERIFY(Read(Tagged(ZipArchive({{"a.elf.flash", QByteArray(900, 'a')}, {"b.elf.flash", QByteArray(600, 'b')}})),
                     limits));
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

    // Each run has a folder of its own: a second window's run never empties
    // or overwrites the images of the first.
    void tempDirBesideTheProgramOrPerUser()
    {
        QTemporaryDir program;
        QTemporaryDir user;
        const TempDirChoice first = PrepareTempDir(program.path(), user.path());
        QVERIFY(first.strPath.startsWith(program.path() + u"/temp/run-"_s));
        QVERIFY(!first.bPerUser);
        QVERIFY(QDir(first.strPath).isEmpty());
        QCOMPARE(QFileInfo(first.strPath).permissions() & (QFile::ReadOther | QFile::ReadGroup | QFile::WriteOther),
                 QFileDevice::Permissions());
        QFile image(first.strPath + u"/cam_V1.4.elf.flash"_s);
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.close();
        const TempDirChoice second = PrepareTempDir(program.path(), user.path());
        QVERIFY(second.strPath.startsWith(program.path() + u"/temp/run-"_s));
        QVERIFY(second.strPath != first.strPath);
        QVERIFY(image.exists());
        // A directory nothing can be created in (as for /usr/bin, even as root).
        const TempDirChoice fallback = PrepareTempDir(u"/proc"_s, user.path());
        QVERIFY(fallback.strPath.startsWith(user.path() + u"/temp/run-"_s));
        QVERIFY(fallback.bPerUser);
        QVERIFY(QFileInfo(fallback.strPath).isDir());
        QVERIFY(PrepareTempDir(u"/proc"_s, u"/proc/self"_s).strPath.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestUpgradePackage)
#include "tst_upgrade_package.moc"
