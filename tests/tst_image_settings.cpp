#include "core/protocol/register_map.h"
#include "core/settings/exposure.h"
#include "core/settings/image_settings.h"
#include "gui/pages/para/save_checks.h"
#include "gui/resources/string_ids.h"

#include <QTest>
#include <array>
#include <climits>

using namespace Qt::StringLiterals;

namespace {

// An image laid out as RegisterImage with the given registers set.
std::array<unsigned char, kRegisterImageSize> Image(std::initializer_list<std::pair<int, int>> registers)
{
    std::array<unsigned char, kRegisterImageSize> image{};
    for (const auto& [reg, value] : registers)
        image[ImagePositionOf(reg)] = static_cast<unsigned char>(value);
    return image;
}

} // namespace

class TestImageSettings : public QObject {
    Q_OBJECT

private slots:
    void videoCodesGiveFrameTiming_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("frameRate");
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<bool>("sixtyHertz");
        QTest::newRow("0x00") << 0x00 << 25 << 1125 << false;
        QTest::newRow("0x01") << 0x01 << 30 << 1125 << true;
        QTest::newRow("0x02") << 0x02 << 50 << 1125 << false;
        QTest::newRow("0x0F") << 0x0F << 25 << 1125 << true;
        QTest::newRow("0x11") << 0x11 << 30 << 750 << true;
        QTest::newRow("0x13") << 0x13 << 60 << 750 << true;
    }

    void videoCodesGiveFrameTiming()
    {
        QFETCH(int, code);
        QFETCH(int, frameRate);
        QFETCH(int, lineCount);
        QFETCH(bool, sixtyHertz);
        QCOMPARE(VideoTimingForCode(code).nFrameRate, frameRate);
        QCOMPARE(VideoTimingForCode(code).nLineCount, lineCount);
        QCOMPARE(Uses60HzShutterList(code), sixtyHertz);
    }

    void shutterItemsCountLinePeriods()
    {
        const int at00[] = {1125, 562, 281, 112, 56, 28, 14, 7, 2};
        const int at11[] = {900, 375, 187, 90, 45, 22, 11, 5, 2};
        for (int item = 0; item <= 8; ++item) {
            QCOMPARE(ShutterLinePeriods(item, VideoTimingForCode(0x00)), at00[item]);
            QCOMPARE(ShutterLinePeriods(item, VideoTimingForCode(0x11)), at11[item]);
        }
        QCOMPARE(ShutterLinePeriods(Shutter::Range, VideoTimingForCode(0x00)), -1);
        QCOMPARE(LinePeriodsForMs(10, VideoTimingForCode(0x00)), 281);
        QCOMPARE(LinePeriodsForMs(20, VideoTimingForCode(0x00)), 562);
    }

    void readsTheShutterItemFromTheLimits_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<bool>("rangeFlag");
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("lowerMs");
        QTest::addColumn<int>("upperMs");
        QTest::newRow("1/100 at 0x00") << 0x00 << 281 << 281 << false << 2 << 0 << 0;
        QTest::newRow("auto at 0x00") << 0x00 << 0 << 1125 << true << 0 << 0 << 0;
        QTest::newRow("1/60 at 0x11") << 0x11 << 375 << 375 << false << 1 << 0 << 0;
        QTest::newRow("auto at 0x11") << 0x11 << 0 << 900 << true << 0 << 0 << 0;
        QTest::newRow("300 periods, a value") << 0x00 << 300 << 300 << false << 10 << 10 << 10;
        QTest::newRow("300 periods, a range") << 0x00 << 300 << 300 << true << 9 << 10 << 10;
        QTest::newRow("10 to 20 ms") << 0x00 << 281 << 562 << true << 9 << 10 << 20;
        QTest::newRow("0 to 900 at 0x00") << 0x00 << 0 << 900 << true << 9 << 0 << 32;
    }

    void readsTheShutterItemFromTheLimits()
    {
        QFETCH(int, code);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(bool, rangeFlag);
        QFETCH(int, item);
        QFETCH(int, lowerMs);
        QFETCH(int, upperMs);
        const ShutterReading reading = ReadShutter(min, max, rangeFlag, VideoTimingForCode(code));
        QCOMPARE(reading.nItem, item);
        QCOMPARE(reading.bUserTimes, item >= Shutter::Range);
        QCOMPARE(reading.nLowerMs, lowerMs);
        QCOMPARE(reading.nUpperMs, upperMs);
    }

    // What is saved reads back as the same item.
    void userTimesRoundTrip()
    {
        const VideoTiming timing = VideoTimingForCode(0x00);
        ExposureLimits limits = ExposureLimitsFor(Shutter::Range, timing, 0, 40);
        QCOMPARE(ReadShutter(limits.nMin, limits.nMax, true, timing).nItem, int(Shutter::Auto)); // 0..40 ms is "自动"
        limits = ExposureLimitsFor(Shutter::Value, timing, 1, 0);
        QCOMPARE(limits.nMax, 28);
        QCOMPARE(ReadShutter(limits.nMin, limits.nMax, false, timing).nItem, 5); // 1 ms is 1/1000
    }

    void exposureLimitsPerShutterItem_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("lowerMs");
        QTest::addColumn<int>("upperMs");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("min");
        QTest::newRow("auto at 0x00") << 0x00 << 0 << 0 << 0 << 1125 << 0;
        QTest::newRow("range 10..20") << 0x00 << 9 << 10 << 20 << 562 << 281;
        QTest::newRow("value 10") << 0x00 << 10 << 10 << 99 << 281 << 281;
        QTest::newRow("value 0") << 0x00 << 10 << 0 << 0 << 0 << 0;
        QTest::newRow("1/60 at 0x11") << 0x11 << 1 << 0 << 0 << 375 << 375;
        QTest::newRow("auto at 0x11") << 0x11 << 0 << 0 << 0 << 900 << 0;
        QTest::newRow("no selection") << 0x00 << -1 << 0 << 0 << 0 << 0;
    }

    void exposureLimitsPerShutterItem()
    {
        QFETCH(int, code);
        QFETCH(int, item);
        QFETCH(int, lowerMs);
        QFETCH(int, upperMs);
        QFETCH(int, max);
        QFETCH(int, min);
        const ExposureLimits limits = ExposureLimitsFor(item, VideoTimingForCode(code), lowerMs, upperMs);
        QCOMPARE(limits.nMax, max);
        QCOMPARE(limits.nMin, min);
    }

    void decodesTheRegisterImage()
    {
        const auto image = Image({{0x00, 0x23}, {0x01, 0x0A}, {0x02, 0x01}, {0x08, 0x0A}, {0x09, 0x60},
                                  {0x12, 250}, {0x1B, 0}, {0x1C, 0x19}, {0x1D, 3}, {0x1E, 3}, {0x19, 14}});
        const ImageSettings s = DecodeImageSettings(image.data());
        QCOMPARE(VersionText(s.nHardwareVersion), u"V2.3"_s);
        QCOMPARE(VersionText(s.nSoftwareVersion), u"V0.10"_s);
        QVERIFY(s.bIrisOffered);
        QVERIFY(s.bAutoGain);
        QCOMPARE(s.nIris, 0);
        QCOMPARE(s.nBrightness, 250); // shown unchanged
        QCOMPARE(s.nBacklightMode, BacklightMode::Automatic); // 3 is automatic
        QVERIFY(!s.bContrastOn); // bit 3 set, but backlight compensation wins
        QVERIFY(s.bNegative);
        QVERIFY(s.bMirror);
        QCOMPARE(s.nScene, -1);         // 0x1B = 0: before the first item
        QCOMPARE(s.nWhiteBalance, -1);  // low four bits 9: beyond the list
        QCOMPARE(s.nDayNight, -1);      // 3: beyond the list
        QCOMPARE(s.nExposureCompensation, 14);
        QCOMPARE(s.nShutter, int(Shutter::Value)); // 0 and 0 with bit 0 clear: a user value of 0 ms
    }

    void defaultsThenSaveAtCode00()
    {
        const ImageSettings s = WithDefaults(ImageSettings{});
        const auto image = Image({});
        const std::vector<RegisterWrite> expected = {
            {0, 0x1D},    {30, 0x16}, {50, 0x12}, {50, 0x13}, {50, 0x15}, {50, 0x14}, {0x04, 0x0F},
            {0x65, 0x0E}, {0, 0x0D},  {0, 0x0C},  {0x0F, 0x08}, {0, 0x09}, {50, 0x10}, {7, 0x19},
            {7, 0x1A},    {4, 0x1B},  {1, 0x1C},  {1, 0x1E},  {1, 0xEF}};
        QCOMPARE(FullWrite(s, image.data()), expected);
    }

    // Lists without a selection used to send 0xFF: the camera keeps what it has.
    void listsWithoutASelectionSendWhatWasRead()
    {
        const auto image = Image({{0x19, 20}, {0x1A, 16}, {0x1B, 0}, {0x1C, 9}, {0x1E, 3},
                                  {0x0C, 0x34}, {0x0D, 0x01}, {0x0E, 0x78}, {0x0F, 0x02}, {0x08, 0x05}});
        ImageSettings s = DecodeImageSettings(image.data());
        s.nShutter = Shutter::None;
        s.nIris = -1;
        const std::vector<RegisterWrite> writes = FullWrite(s, image.data());
        const auto valueOf = [&](int reg) {
            for (const RegisterWrite& w : writes)
                if (w.nRegister == reg)
                    return w.nValue;
            return -1;
        };
        QCOMPARE(valueOf(0x19), 20);
        QCOMPARE(valueOf(0x1A), 16);
        QCOMPARE(valueOf(0x1B), 0);
        QCOMPARE(valueOf(0x1C), 9);
        QCOMPARE(valueOf(0x1E), 3);
        QCOMPARE(valueOf(0x0F), 0x02);
        QCOMPARE(valueOf(0x0E), 0x78);
        QCOMPARE(valueOf(0x0D), 0x01);
        QCOMPARE(valueOf(0x0C), 0x34);
        QCOMPARE(valueOf(0x08) & 0x05, 0x05); // the stored exposure-range and iris bits
    }

    void triggerCarriesNegativeAndMirror()
    {
        ImageSettings s;
        s.bNegative = true;
        QCOMPARE(ImageFlags(s, true), 0x30);
        s.bMirror = true;
        QCOMPARE(ImageFlags(s, true), 0x70);
        QCOMPARE(ImageFlags(s, false), 0x60);
    }

    void wholeNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value"); // -1: not a whole number
        QTest::newRow("empty") << QString() << -1;
        QTest::newRow("sign") << u"-5"_s << -1;
        QTest::newRow("point") << u"12.5"_s << -1;
        QTest::newRow("blank") << u"1 2"_s << -1;
        QTest::newRow("leading zeros") << u"007"_s << 7;
        QTest::newRow("too long for 32 bits") << u"99999999999"_s << INT_MAX;
    }

    void wholeNumbers()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(WholeNumber(text).value_or(-1), value);
        QCOMPARE(ClampPercent(WholeNumber(u"99999999999"_s).value()), 100);
        QCOMPARE(ClampPercent(250), 100);
    }

    void checksInTheirOrder()
    {
        std::array<QString, 6> texts = {u"1"_s, QString(), u"x"_s, u"4"_s, u"5"_s, u"6"_s};
        QCOMPARE(CheckValueTexts(texts)->nFocusId, 1003); // the first failing one, disabled or not
        texts[1] = texts[2] = u"0"_s;
        QVERIFY(!CheckValueTexts(texts));

        int lower = -1;
        int upper = -1;
        QVERIFY(!CheckExposureTimes(Shutter::Range, u"20"_s, u"20"_s, &lower, &upper)); // equal times are fine
        QCOMPARE(lower, 20);
        QCOMPARE(upper, 20);
        const auto failure = [&](int item, const QString& low, const QString& up) {
            const std::optional<CheckFailure> f = CheckExposureTimes(item, low, up, &lower, &upper);
            return f ? std::pair(f->nMessageId, f->nFocusId) : std::pair(0, 0);
        };
        QCOMPARE(failure(Shutter::Range, u"30"_s, u"20"_s), std::pair(Ids::BadExposure, 1065));
        QCOMPARE(failure(Shutter::Range, u"41"_s, u"x"_s), std::pair(Ids::BadExposure, 1064));
        QCOMPARE(failure(Shutter::Range, u"10"_s, u"41"_s), std::pair(Ids::BadExposure, 1065));
        QCOMPARE(failure(Shutter::Range, u"10"_s, u""_s), std::pair(Ids::NotAnInteger, 1065));
        QCOMPARE(failure(Shutter::Value, u"12.5"_s, u""_s), std::pair(Ids::NotAnInteger, 1064));
        QCOMPARE(failure(Shutter::Value, u"12"_s, u"junk"_s), std::pair(0, 0)); // 1065 is not looked at
        QCOMPARE(failure(3, u"junk"_s, u"junk"_s), std::pair(0, 0));            // neither is
    }
};

QTEST_GUILESS_MAIN(TestImageSettings)
#include "tst_image_settings.moc"
