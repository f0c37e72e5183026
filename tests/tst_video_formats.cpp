#include "core/settings/camera_identity.h"
#include "core/settings/video_formats.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestVideoFormats : public QObject {
    Q_OBJECT

private slots:
    void filtersVideoFormats()
    {
        QCOMPARE(OfferedVideoFormats(QString()).size(), 8);
        QCOMPARE(OfferedVideoFormats(u"10100000"_s), (QStringList{u"1080p@25"_s, u"1080p@50"_s}));
        QCOMPARE(OfferedVideoFormats(u"10000001"_s), (QStringList{u"1080p@25"_s, u"720p@60"_s}));
        QCOMPARE(OfferedVideoFormats(u"1x1x0000"_s), (QStringList{u"1080p@25"_s, u"1080p@50"_s}));
        QCOMPARE(OfferedVideoFormats(u"1010"_s).size(), 8); // not eight characters: all
    }

    void showsStoredCodesThroughTableD_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("0x00") << 0x00 << u"1080p@25"_s;
        QTest::newRow("0x01") << 0x01 << u"1080p@30"_s;
        QTest::newRow("0x10") << 0x10 << u"1080p@50"_s;
        QTest::newRow("0x11") << 0x11 << u"1080p@60"_s;
        QTest::newRow("0x02") << 0x02 << u"720p@60"_s;
        QTest::newRow("0x03") << 0x03 << u"720p@60"_s;
    }

    void showsStoredCodesThroughTableD()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(VideoFormatTextForCode(code), text);
    }

    void sendsCodesThroughTableF_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("frameRate");
        QTest::addColumn<int>("lineCount");
        QTest::newRow("1080p@25") << u"1080p@25"_s << 0x00 << 25 << 1125;
        QTest::newRow("1080p@60") << u"1080p@60"_s << 0x03 << 60 << 1125;
        QTest::newRow("720p@25 as 1080p@25") << u"720p@25"_s << 0x00 << 25 << 1125;
        QTest::newRow("720p@30 as 1080p@30") << u"720p@30"_s << 0x01 << 30 << 1125;
        QTest::newRow("720p@50") << u"720p@50"_s << 0x10 << 25 << 750;
        QTest::newRow("720p@60") << u"720p@60"_s << 0x11 << 30 << 750;
    }

    void sendsCodesThroughTableF()
    {
        QFETCH(QString, text);
        QFETCH(int, code);
        QFETCH(int, frameRate);
        QFETCH(int, lineCount);
        const std::optional<VideoFormat> format = VideoFormatForText(text);
        QVERIFY(format);
        QCOMPARE(format->nCode, code);
        QCOMPARE(format->Timing().nFrameRate, frameRate);
        QCOMPARE(format->Timing().nLineCount, lineCount);
        QVERIFY(!VideoFormatForText(u"576i"_s));
    }

    void formatChangeWritesTheLimitsForTheNewTiming_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("shutter");
        QTest::addColumn<double>("lowerMs");
        QTest::addColumn<double>("upperMs");
        QTest::addColumn<QList<int>>("values");
        QTest::newRow("720p@50, auto") << u"720p@50"_s << 0 << 0.0 << 0.0 << QList<int>{0x02, 0xEE, 0x00, 0x00, 0x10, 1};
        QTest::newRow("1080p@60, 1/60") << u"1080p@60"_s << 1 << 0.0 << 0.0 << QList<int>{0x02, 0x32, 0x02, 0x32, 0x03, 1};
        QTest::newRow("720p@60, 10..20 ms") << u"720p@60"_s << 9 << 10.0 << 20.0 << QList<int>{0x01, 0xC2, 0x00, 0xE1, 0x11, 1};
        QTest::newRow("no shutter selection") << u"1080p@25"_s << -1 << 0.0 << 0.0 << QList<int>{0, 0, 0, 0, 0x00, 1};
    }

    void formatChangeWritesTheLimitsForTheNewTiming()
    {
        QFETCH(QString, text);
        QFETCH(int, shutter);
        QFETCH(double, lowerMs);
        QFETCH(double, upperMs);
        QFETCH(QList<int>, values);
        const std::array<RegisterWrite, 6> writes =
            VideoFormatWrites(*VideoFormatForText(text), ExposureChoice{shutter, lowerMs, upperMs});
        const int registers[] = {0x0F, 0x0E, 0x0D, 0x0C, 0x1F, 0xEF};
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(writes[i].nRegister, registers[i]);
            QCOMPARE(writes[i].nValue, values[i]);
        }
    }

    // A search's answers: what a camera gives passes; a line that answers
    // "00" to everything, or returns each request without its blanks
    // ("1F", "00", "01"), is named as unusual.
    void unusualCameraAnswers_data()
    {
        QTest::addColumn<int>("videoCode");
        QTest::addColumn<int>("hardware");
        QTest::addColumn<int>("software");
        QTest::addColumn<QStringList>("unusual");
        QTest::newRow("a camera") << 0x00 << 0x12 << 0x13 << QStringList();
        QTest::newRow("a camera at 1080p@60") << 0x11 << 0x21 << 0x10 << QStringList();
        QTest::newRow("00 to every line") << 0x00 << 0x00 << 0x00
                                          << QStringList{u"hardware version V0.0"_s, u"software version V0.0"_s};
        QTest::newRow("requests returned") << 0x1F << 0x00 << 0x01
                                           << QStringList{u"video format code 0x1F is none a camera uses"_s,
                                                          u"hardware version V0.0"_s};
    }

    void unusualCameraAnswers()
    {
        QFETCH(int, videoCode);
        QFETCH(int, hardware);
        QFETCH(int, software);
        QFETCH(QStringList, unusual);
        QCOMPARE(UnusualCameraAnswers(videoCode, hardware, software), unusual);
    }
};

QTEST_GUILESS_MAIN(TestVideoFormats)
#include "tst_video_formats.moc"
