// The command line's arguments and its settings file, without a camera.
#include "cli/cli_options.h"
#include "core/settings/json_keys.h"
#include "core/settings/settings_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray Json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson();
}

// What a camera might report: a user-defined exposure range at 1080p@30.
CameraSettings Reported()
{
    CameraSettings settings;
    ImageSettings& s = settings.image;
    s.nVideoCode = 0x01;
    s.nHardwareVersion = 0x12;
    s.nSoftwareVersion = 0x13;
    SetSixValues(&s, {50, 40, 30, 20, 10, 60});
    s.nShutter = Shutter::Range;
    s.nLowerMs = 5;
    s.nUpperMs = 25;
    s.bAutoGain = true;
    s.nIris = 1;
    s.nBacklightMode = BacklightMode::Manual;
    s.bMirror = true;
    s.nExposureCompensation = 9;
    s.nSharpness = 15;
    s.nScene = 4;
    s.nWhiteBalance = 7;
    s.nDayNight = 2;
    settings.nOsdLanguage = 0;
    return settings;
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error"); // empty: accepted
        QTest::newRow("read") << QStringList{u"--port"_s, u"/dev/ttyUSB0"_s, u"read"_s, u"--json"_s} << QString();
        QTest::newRow("apply") << QStringList{u"apply"_s, u"cam.json"_s, u"--port"_s, u"COM3"_s, u"--baud"_s, u"9600"_s}
                               << QString();
        QTest::newRow("ports") << QStringList{u"ports"_s} << QString();
        QTest::newRow("nothing") << QStringList{} << u"no command given"_s;
        QTest::newRow("no port") << QStringList{u"read"_s} << u"read needs --port"_s;
        QTest::newRow("no file") << QStringList{u"--port"_s, u"p"_s, u"upgrade"_s} << u"upgrade needs one file"_s;
        QTest::newRow("extra") << QStringList{u"--port"_s, u"p"_s, u"restart"_s, u"now"_s} << u"unexpected argument now"_s;
        QTest::newRow("json elsewhere") << QStringList{u"--port"_s, u"p"_s, u"restart"_s, u"--json"_s}
                                        << u"--json goes with read, scan, diff, backups and doctor only"_s;
        QTest::newRow("dry run elsewhere") << QStringList{u"--port"_s, u"p"_s, u"read"_s, u"--dry-run"_s}
                                           << u"--dry-run goes with apply only"_s;
        QTest::newRow("diff without a file") << QStringList{u"--port"_s, u"p"_s, u"diff"_s} << u"diff needs one file"_s;
        QTest::newRow("backups of a port") << QStringList{u"backups"_s, u"--port"_s, u"COM1"_s, u"--json"_s} << QString();
        QTest::newRow("baud") << QStringList{u"--port"_s, u"p"_s, u"--baud"_s, u"fast"_s, u"read"_s}
                              << u"--baud fast: not a line rate (a whole number above 0, e.g. 115200)"_s;
        QTest::newRow("unknown") << QStringList{u"flash"_s} << u"unknown command flash"_s;
        QTest::newRow("option") << QStringList{u"--verbose"_s, u"read"_s} << u"unknown option --verbose"_s;
        QTest::newRow("dangling") << QStringList{u"read"_s, u"--port"_s} << u"--port needs a value"_s;
        QTest::newRow("empty port") << QStringList{u"scan"_s, u"--port"_s, u""_s} << u"--port needs a value, not an empty one"_s;
        QTest::newRow("empty trace") << QStringList{u"--trace"_s, u""_s, u"--port"_s, u"p"_s, u"read"_s}
                                     << u"--trace needs a value, not an empty one"_s;
        QTest::newRow("empty report") << QStringList{u"provision"_s, u"--port"_s, u"p"_s, u"--upgrade"_s, u"x"_s,
                                                     u"--report"_s, u""_s}
                                      << u"--report needs a value, not an empty one"_s;
        QTest::newRow("scan anywhere") << QStringList{u"scan"_s, u"--json"_s} << QString();
        QTest::newRow("scan two ports") << QStringList{u"scan"_s, u"--port"_s, u"a"_s, u"--port"_s, u"b"_s} << QString();
        QTest::newRow("recover") << QStringList{u"--port"_s, u"p"_s, u"upgrade"_s, u"--recover"_s, u"--recover-wait"_s,
                                                u"90"_s, u"cam.pkg"_s}
                                 << QString();
        QTest::newRow("recover a read") << QStringList{u"--port"_s, u"p"_s, u"read"_s, u"--recover"_s}
                                        << u"--recover and --recover-wait go with upgrade only"_s;
        QTest::newRow("wait alone") << QStringList{u"--port"_s, u"p"_s, u"upgrade"_s, u"--recover-wait"_s, u"9"_s, u"x"_s}
                                    << u"--recover-wait goes with --recover"_s;
        QTest::newRow("restore without recover")
            << QStringList{u"--port"_s, u"p"_s, u"upgrade"_s, u"--restore-backup"_s, u"x"_s}
            << u"--restore-backup goes with upgrade --recover"_s;
        QTest::newRow("no wait") << QStringList{u"--port"_s, u"p"_s, u"upgrade"_s, u"--recover"_s, u"--recover-wait"_s,
                                                u"0"_s, u"x"_s}
                                 << u"--recover-wait 0: not a number of seconds from 1 to 3600"_s;
    }

    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        QString message;
        const std::optional<CliOptions> options = ParseCliArguments(arguments, &message);
        QCOMPARE(message, error);
        QCOMPARE(options.has_value(), error.isEmpty());
    }

    void aReadFileAppliesAsItWasRead()
    {
        const CameraSettings reported = Reported();
        const QJsonObject json = SettingsToJson(reported);
        QCOMPARE(json[u"shutter"], QJsonValue(QJsonObject{{u"range_ms"_s, QJsonArray{5, 25}}}));
        QCOMPARE(json[u"exposure_compensation"], QJsonValue(2));
        QCOMPARE(json[u"white_balance"], QJsonValue(u"custom"_s));
        QCOMPARE(json[u"camera"].toObject()[u"video_format"], QJsonValue(u"1080p@30"_s));

        CameraSettings camera; // a camera with other settings
        camera.image.nVideoCode = 0x01;
        QStringList keys;
        QString error;
        QVERIFY2(ReadSettingsFile(Json(json), &camera, &keys, &error), qPrintable(error));
        QJsonObject applied = SettingsToJson(camera);
        // What the camera is stays as it is.
        QCOMPARE(applied.take(u"camera"_s).toObject()[u"software_version"], QJsonValue(u"V0.0"_s));
        QJsonObject read = json;
        read.remove(u"camera"_s);
        QCOMPARE(applied, read);
        QCOMPARE(keys.size(), json.size() - 2); // all but "format" and "camera"
        QVERIFY(SettingsDifferences(json, SettingsToJson(camera), keys).isEmpty());

        // Keys left out keep what the camera has; the 60 Hz name of item 1 is item 1.
        camera = reported;
        QVERIFY(ReadSettingsFile(R"({"format": 1, "brightness": 70, "shutter": "1/60"})", &camera, &keys, &error));
        QCOMPARE(keys, (QStringList{u"brightness"_s, u"shutter"_s}));
        QCOMPARE(camera.image.nBrightness, 70);
        QCOMPARE(camera.image.nShutter, 1);
        QCOMPARE(camera.image.nContrast, 40);
        QCOMPARE(SettingsDifferences(SettingsToJson(camera), json, keys),
                 (QStringList{u"brightness: wanted 70, camera has 50"_s,
                              uR"(shutter: wanted "1/60", camera has {"range_ms":[5,25]})"_s}));

        // Before the camera is read, either list's time may be meant for it.
        CameraSettings defaults;
        QVERIFY2(ReadSettingsFile(R"({"format": 1, "shutter": "1/60"})", &defaults, &keys, &error,
                                  VideoFormatFit::NotKnownYet),
                 qPrintable(error));
        QVERIFY(!ReadSettingsFile(R"({"format": 1, "shutter": "1/60"})", &defaults, &keys, &error));
        QVERIFY(error.startsWith(u"\"shutter\": \"1/60\"; allowed: for this camera's video format 1080p@25"_s));
    }

    void duplicateKeysAreFoundWhereverTheyAre()
    {
        QCOMPARE(FirstDuplicateKey(R"({"a": "a", "b": {"a": 1}, "c": [{"a": 1}, {"a": 2}]})"), QString());
        QCOMPARE(FirstDuplicateKey("{\"s\": \"\\\",\\\"s\\\": \", \"s\": 1}"), u"s"_s); // a value that reads like a key
        QCOMPARE(FirstDuplicateKey(R"({"c": [{"a": 1, "b": 2, "a": 3}]})"), u"c.[].a"_s);
    }

    void aBadFileNamesTheKeyTheValueAndWhatIsAllowed_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("error");
        QTest::newRow("broken") << QByteArray(R"({"format": 1,)") << u"not JSON: unterminated object at byte 13"_s;
        QTest::newRow("list") << QByteArray("[1]") << u"not a JSON object"_s;
        // A missing "format" used to read "\"format\": null", and a value close
        // to 1 was shown as 1, that is as allowed.
        QTest::newRow("no format") << QByteArray(R"({"brightness": 1})")
                                   << u"\"format\" is missing; a settings file starts with {\"format\": 1, ..."_s;
        QTest::newRow("format") << QByteArray(R"({"format": 2})") << u"\"format\": 2; allowed: 1"_s;
        QTest::newRow("almost 1") << QByteArray(R"({"format": 1.0000001})") << u"\"format\": 1.0000001; allowed: 1"_s;
        const QString knownKeys = u"known keys: auto_gain, backlight, backlight_level, brightness, camera, chroma, "
                                  "contrast, contrast_enhancement, day_night, exposure_compensation, format, gain, "
                                  "iris, mirror, negative, osd_language, saturation, scene, sharpness, shutter, "
                                  "white_balance"_s;
        QTest::newRow("unknown") << QByteArray(R"({"format": 1, "brightnes": 1})")
                                 << u"unknown key \"brightnes\"; "_s + knownKeys;
        // Control characters reach the terminal escaped, as names do.
        QTest::newRow("NUL in a key") << QByteArray("{\"format\": 1, \"gain\\u0000\\u001b[2J\": 1}")
                                      << u"unknown key \"gain\\x00\\x1b[2J\"; "_s + knownKeys;
        QTest::newRow("line break in a value") << QByteArray("{\"format\": 1, \"iris\": \"auto\\r\\nok\"}")
                                               << u"\"iris\": \"auto\\x0d\\x0aok\"; allowed: one of \"manual\", \"auto\""_s;
        QTest::newRow("NUL key twice") << QByteArray("{\"format\": 1, \"a\\u0000\": 1, \"a\\u0000\": 2}")
                                       << u"\"a\\x00\" is given twice; allowed: each key once"_s;
        QTest::newRow("gain 1000.5") << QByteArray(R"({"format": 1, "gain": 1000.5})")
                                     << u"\"gain\": 1000.5; allowed: a whole number from 0 to 100"_s;
        QTest::newRow("gain 50.0000001") << QByteArray(R"({"format": 1, "gain": 50.0000001})")
                                         << u"\"gain\": 50.0000001; allowed: a whole number from 0 to 100"_s;
        QTest::newRow("300") << QByteArray(R"({"format": 1, "brightness": 300})")
                             << u"\"brightness\": 300; allowed: a whole number from 0 to 100"_s;
        QTest::newRow("half") << QByteArray(R"({"format": 1, "gain": 2.5})")
                              << u"\"gain\": 2.5; allowed: a whole number from 0 to 100"_s;
        QTest::newRow("text") << QByteArray(R"({"format": 1, "mirror": "yes"})")
                              << u"\"mirror\": \"yes\"; allowed: true or false"_s;
        QTest::newRow("scene") << QByteArray(R"({"format": 1, "scene": "beach"})")
                               << u"\"scene\": \"beach\"; allowed: one of \"sunny_outdoor\", \"cloudy_outdoor\", "
                                  "\"sunny_indoor\", \"cloudy_indoor\", \"dim\""_s;
        QTest::newRow("compensation") << QByteArray(R"({"format": 1, "exposure_compensation": 8})")
                                      << u"\"exposure_compensation\": 8; allowed: a whole number from -7 to 7"_s;
        QTest::newRow("range") << QByteArray(R"({"format": 1, "shutter": {"range_ms": [30, 20]}})")
                               << u"\"shutter\": {\"range_ms\":[30,20]}; allowed: \"auto\", one of \"1/50\", "
                                  "\"1/100\", \"1/250\", \"1/500\", \"1/1000\", \"1/2000\", \"1/4000\", \"1/10000\" "
                                  "(or the 60 Hz \"1/60\", \"1/120\"), {\"range_ms\": [LOW, HIGH]} with 0 <= LOW <= "
                                  "HIGH <= 40, or {\"fixed_ms\": MS} with 0 <= MS <= 40"_s;
        QTest::newRow("both") << QByteArray(R"({"format": 1, "contrast_enhancement": true, "backlight": "auto"})")
                              << u"\"contrast_enhancement\": true with \"backlight\": \"auto\"; allowed: one of "
                                 "them, the other false or \"off\""_s;
        // Used to set item 1, which is 1/60 s on this camera.
        QTest::newRow("50 Hz time at 30 frames") << QByteArray(R"({"format": 1, "shutter": "1/50"})")
                                                 << u"\"shutter\": \"1/50\"; allowed: for this camera's video format "
                                                    "1080p@30 \"auto\" or one of \"1/60\", \"1/120\", \"1/250\", "
                                                    "\"1/500\", \"1/1000\", \"1/2000\", \"1/4000\", \"1/10000\""_s;
        // These three used to pass: the last of two keys won, the camera
        // section was never checked, and 1e300 was converted to an integer
        // it has no room for.
        QTest::newRow("twice") << QByteArray(R"({"format": 1, "brightness": 1000, "brightness": 60})")
                               << u"\"brightness\" is given twice; allowed: each key once"_s;
        QTest::newRow("twice inside") << QByteArray(R"({"format": 1, "shutter": {"fixed_ms": 1, "fixed_\u006ds": 2}})")
                                      << u"\"shutter.fixed_ms\" is given twice; allowed: each key once"_s;
        QTest::newRow("camera") << QByteArray(R"({"format": 1, "camera": 5})")
                                << u"\"camera\": 5; allowed: an object (what the camera is; never applied)"_s;
        QTest::newRow("1e300") << QByteArray(R"({"format": 1, "brightness": 1e300})")
                               << u"\"brightness\": 1e+300; allowed: a whole number from 0 to 100"_s;
        // Used to stop at the first: a file with three faults took three rounds of edits.
        QTest::newRow("every fault at once")
            << QByteArray(R"({"format": 1, "gain": 200, "brightnes": 1, "mirror": "yes", "contrst": 2,
                              "contrast_enhancement": true, "backlight": "sometimes"})")
            << u"unknown keys \"brightnes\", \"contrst\"; "_s + knownKeys
                   + u"\n\"backlight\": \"sometimes\"; allowed: one of \"off\", \"manual\", \"auto\"\n"
                     "\"gain\": 200; allowed: a whole number from 0 to 100\n"
                     "\"mirror\": \"yes\"; allowed: true or false"_s;
        QTest::newRow("-1e300 ms") << QByteArray(R"({"format": 1, "shutter": {"fixed_ms": -1e300}})")
                                   << QString();
    }

    void aBadFileNamesTheKeyTheValueAndWhatIsAllowed()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, error);
        CameraSettings settings = Reported();
        QStringList keys{u"untouched"_s};
        QString message;
        QVERIFY(!ReadSettingsFile(file, &settings, &keys, &message));
        if (!error.isEmpty())
            QCOMPARE(message, error);
        QCOMPARE(SettingsToJson(settings), SettingsToJson(Reported()));
        QCOMPARE(keys, QStringList{u"untouched"_s});
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settings_file.moc"
