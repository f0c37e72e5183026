#include "core/config/ini_file.h"
#include "core/config/kept_log.h"
#include "core/config/program_dir.h"

#include <QDir>
#include <QFileInfo>

#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <latch>
#include <thread>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

using namespace Qt::StringLiterals;

namespace {

const QDateTime kWhen(QDate(2026, 12, 9), QTime(10, 5, 7));

QString KeptText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : u"<unreadable>"_s;
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(u"config.ini"_s);
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("; comment\n"
                   "[PathInfo]\n"
                   "Language = 1\n"
                   "vedioType=01011010\n"
                   "showSwith=-3x\n"
                   "Quoted=\"  spaced  \"\n"
                   "NoDigits=abc\n"
                   "Huge=99999999999\n"
                   "[Ports]\n"
                   "COM1=/dev/pts/7\n"
                   "[pathinfo]\n"
                   "Language=5\n"
                   "Extra=2\n");
    }

    void readsIntegers_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain, blanks around") << u"PathInfo"_s << u"Language"_s << 1;
        QTest::newRow("names ignore case") << u"PATHINFO"_s << u"language"_s << 1;
        QTest::newRow("leading digits with sign") << u"PathInfo"_s << u"showSwith"_s << -3;
        QTest::newRow("no digits is zero") << u"PathInfo"_s << u"NoDigits"_s << 0;
        QTest::newRow("too large is capped") << u"PathInfo"_s << u"Huge"_s << 0x7FFFFFFF;
        QTest::newRow("missing key") << u"PathInfo"_s << u"Missing"_s << 42;
        QTest::newRow("missing section") << u"Nowhere"_s << u"Language"_s << 42;
        QTest::newRow("second section of same name not read") << u"PathInfo"_s << u"Extra"_s << 42;
    }

    void readsIntegers()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(int, expected);
        QCOMPARE(ReadIniInt(m_path, section, key, 42), expected);
    }

    void readsTexts()
    {
        QCOMPARE(ReadIniString(m_path, u"PathInfo"_s, u"vedioType"_s, u"11111111"_s, 9), u"01011010"_s);
        QCOMPARE(ReadIniString(m_path, u"PathInfo"_s, u"vedioType"_s, QString(), 5), u"0101"_s);
        QCOMPARE(ReadIniString(m_path, u"PathInfo"_s, u"Quoted"_s, QString(), 64), u"  spaced  "_s);
        QCOMPARE(ReadIniString(m_path, u"ports"_s, u"com1"_s, QString(), 260), u"/dev/pts/7"_s);
        QCOMPARE(ReadIniString(m_path, u"Ports"_s, u"COM2"_s, u"fallback"_s, 260), u"fallback"_s);
    }

    void missingFileGivesDefaults()
    {
        const QString missing = m_dir.filePath(u"absent.ini"_s);
        QCOMPARE(ReadIniInt(missing, u"PathInfo"_s, u"Language"_s, 0), 0);
        QCOMPARE(ReadIniString(missing, u"PathInfo"_s, u"vedioType"_s, u"11111111"_s, 9), u"11111111"_s);
    }

    // An installed program cannot keep config.ini beside itself.
    void configIniBesideTheProgramFirstThenPerUser()
    {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        const QString beside = GetProgramDir() + u"/config.ini"_s;
        QVERIFY(!QFileInfo::exists(beside));
        QCOMPARE(ConfigIniPath(), beside); // neither: the defaults apply

        const QString perUser = home.path() + u"/orvane-config/config.ini"_s;
        QCOMPARE(PerUserConfigIniPath(), perUser);
        QVERIFY(QDir().mkpath(home.path() + u"/orvane-config"_s));
        QFile(m_path).copy(perUser);
        QCOMPARE(ConfigIniPath(), perUser);
        QCOMPARE(ReadIniString(ConfigIniPath(), u"Ports"_s, u"COM1"_s, QString(), 260), u"/dev/pts/7"_s);

        QVERIFY(QFile(m_path).copy(beside));
        QCOMPARE(ConfigIniPath(), beside);
        QVERIFY(QFile::remove(beside));
    }

    // The upgrade log is kept across runs, moved aside past its size, and a
    // file that cannot be written says why instead of failing the caller.
    void aKeptLogAppendsAcrossRunsAndRotates()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"logs/upgrade.log"_s);
        QString error;
        for (const QString& line : {u"升级开始\n"_s, u"done"_s, u"third"_s}) // each a run of its own
            QVERIFY2(CKeptLog(path, 64).Append(line, kWhen, &error), qPrintable(error));
        QCOMPARE(KeptText(path), u"2026-12-09 10:05:07  升级开始\n2026-12-09 10:05:07  done\n2026-12-09 10:05:07  third\n"_s);
        QVERIFY(CKeptLog(path, 64).Append(u"fourth"_s, kWhen, &error)); // past 64 bytes: a new file
        QCOMPARE(KeptText(path), u"2026-12-09 10:05:07  fourth\n"_s);
        QVERIFY(KeptText(path + u".1"_s).endsWith(u"third\n"_s));

        QFile blocker(dir.filePath(u"file"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString unwritable = dir.filePath(u"file/upgrade.log"_s); // its folder is a file, even for root
        QVERIFY(!CKeptLog(unwritable).Append(u"lost"_s, kWhen, &error));
        QVERIFY2(error.startsWith(unwritable), qPrintable(error));
    }

    // A write the disk refuses (full, or as here the size limit of this
    // process's files) is said with the OS's words; it used to be buffered,
    // lost at the close and reported as kept.
    void aKeptLogThatCannotBeWrittenSaysSo()
    {
#ifdef Q_OS_UNIX
        QTemporaryDir dir;
        const QString path = dir.filePath(u"upgrade.log"_s);
        QString error;
        QVERIFY2(CKeptLog(path).Append(u"first"_s, kWhen, &error), qPrintable(error));
        const QString kept = KeptText(path);
        rlimit before{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN); // a failed write, not the end of the program
        const rlimit fewBytesMore{rlim_t(QFileInfo(path).size() + 5), before.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &fewBytesMore), 0);
        const bool appended = CKeptLog(path).Append(u"a line longer than five bytes"_s, kWhen, &error);
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, handler);
        QVERIFY(!appended);
        QVERIFY2(error.startsWith(path) && error.contains(u"File too large"_s), qPrintable(error));
        // Nothing of the line stays: the next one is not glued to half of it.
        QCOMPARE(KeptText(path), kept);
        QVERIFY2(CKeptLog(path).Append(u"next"_s, kWhen, &error), qPrintable(error));
        QVERIFY(KeptText(path).startsWith(kept) && KeptText(path).count(u'\n') == 2);
#else
        QSKIP("the size limit of a process's files is POSIX");
#endif
    }

    // Two windows that cross the size together move the full log aside once:
    // the second finds the new file and appends to it. The second used to
    // remove the first's moved file, or move the new one over it.
    void twoWritersCrossingTheSizeLoseNoLine()
    {
        const QByteArray full = QByteArray("an old line\n").repeated(8);
        for (int trial = 0; trial < 200; ++trial) {
            QTemporaryDir dir;
            const QString path = dir.filePath(u"upgrade.log"_s);
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(full);
            file.close();
            std::latch start(2);
            QString errors[2];
            const auto write = [&](int writer) {
                start.arrive_and_wait();
                CKeptLog(path, 64).Append(u"writer %1"_s.arg(writer), kWhen, &errors[writer]);
            };
            std::thread first(write, 0);
            std::thread second(write, 1);
            first.join();
            second.join();
            QVERIFY2(errors[0].isEmpty() && errors[1].isEmpty(), qPrintable(errors[0] + errors[1]));
            QCOMPARE(KeptText(path + u".1"_s), QString::fromUtf8(full));
            const QString now = KeptText(path);
            QVERIFY2(now.contains(u"writer 0\n"_s) && now.contains(u"writer 1\n"_s),
                     qPrintable(u"trial %1: %2"_s.arg(trial).arg(now)));
        }
    }

    // A link planted at the log's name would have the next line written
    // wherever it leads.
    void aKeptLogDoesNotFollowALink()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(u"elsewhere"_s);
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("untouched\n");
        file.close();
        const QString path = dir.filePath(u"upgrade.log"_s);
        QVERIFY(QFile::link(target, path));
        QString error;
        QVERIFY(!CKeptLog(path).Append(u"line"_s, kWhen, &error));
        QVERIFY2(error.startsWith(path) && error.contains(u"symbolic link"_s), qPrintable(error));
        QCOMPARE(KeptText(target), u"untouched\n"_s);
    }

    // A package path with a line break in it cannot add a line of its own,
    // nor move the cursor of whoever reads the log in a terminal.
    void aKeptLineCannotForgeAnother()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"upgrade.log"_s);
        QString error;
        QVERIFY2(CKeptLog(path).Append(u"package /tmp/a\n2026-01-01 00:00:00  forged\x1b[2K\n"_s, kWhen, &error),
                 qPrintable(error));
        QCOMPARE(KeptText(path), u"2026-12-09 10:05:07  package /tmp/a\\x0a2026-01-01 00:00:00  forged\\x1b[2K\n"_s);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_ini_file.moc"
