#include "config/ini_file.h"
#include "config/kept_log.h"
#include "config/program_dir.h"

#include <QDir>
#include <QFileInfo>

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

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
        const QDateTime when(QDate(2026, 12, 9), QTime(10, 5, 7));
        const auto text = [](const QString& file) {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : u"<unreadable>"_s;
        };
        QString error;
        for (const QString& line : {u"升级开始\n"_s, u"done"_s, u"third"_s}) // each a run of its own
            QVERIFY2(CKeptLog(path, 64).Append(line, when, &error), qPrintable(error));
        QCOMPARE(text(path), u"2026-12-09 10:05:07  升级开始\n2026-12-09 10:05:07  done\n2026-12-09 10:05:07  third\n"_s);
        QVERIFY(CKeptLog(path, 64).Append(u"fourth"_s, when, &error)); // past 64 bytes: a new file
        QCOMPARE(text(path), u"2026-12-09 10:05:07  fourth\n"_s);
        QVERIFY(text(path + u".1"_s).endsWith(u"third\n"_s));

        QFile blocker(dir.filePath(u"file"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString unwritable = dir.filePath(u"file/upgrade.log"_s); // its folder is a file, even for root
        QVERIFY(!CKeptLog(unwritable).Append(u"lost"_s, when, &error));
        QVERIFY2(error.startsWith(unwritable), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_ini_file.moc"
