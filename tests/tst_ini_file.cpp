#include "config/ini_file.h"
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
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_ini_file.moc"
