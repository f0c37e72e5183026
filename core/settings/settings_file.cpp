#include "core/settings/settings_file.h"

#include "core/config/printable_text.h"
#include "core/protocol/link_protocol.h"
#include "core/protocol/register_map.h"
#include "core/settings/json_keys.h"
#include "core/settings/video_formats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <cmath>
#include <functional>
#include <map>
#include <set>

using namespace Qt::StringLiterals;

namespace {

// Settings that take 0..100, as the page saves them.
struct PercentKey {
    const char16_t* name;
    int ImageSettings::*member;
};
constexpr PercentKey kPercentKeys[] = {
    {u"brightness", &ImageSettings::nBrightness}, {u"contrast", &ImageSettings::nContrast},
    {u"chroma", &ImageSettings::nChroma},         {u"saturation", &ImageSettings::nSaturation},
    {u"backlight_level", &ImageSettings::nBacklightLevel}, {u"gain", &ImageSettings::nGain},
};

struct SwitchKey {
    const char16_t* name;
    bool ImageSettings::*member;
};
constexpr SwitchKey kSwitchKeys[] = {
    {u"auto_gain", &ImageSettings::bAutoGain},
    {u"contrast_enhancement", &ImageSettings::bContrastOn},
    {u"negative", &ImageSettings::bNegative},
    {u"mirror", &ImageSettings::bMirror},
};

// A list of the page by the names of its items, in item order.
struct ChoiceKey {
    const char16_t* name;
    int ImageSettings::*member;
    QStringList items;
};
const std::vector<ChoiceKey>& ChoiceKeys()
{
    static const std::vector<ChoiceKey> keys = {
        {u"iris", &ImageSettings::nIris, {u"manual"_s, u"auto"_s}},
        {u"backlight", &ImageSettings::nBacklightMode, {u"off"_s, u"manual"_s, u"auto"_s}},
        {u"scene", &ImageSettings::nScene,
         {u"sunny_outdoor"_s, u"cloudy_outdoor"_s, u"sunny_indoor"_s, u"cloudy_indoor"_s, u"dim"_s}},
        {u"white_balance", &ImageSettings::nWhiteBalance,
         {u"off"_s, u"auto"_s, u"sunny"_s, u"cloudy"_s, u"home"_s, u"office"_s, u"night"_s, u"custom"_s}},
        {u"day_night", &ImageSettings::nDayNight, {u"day"_s, u"auto"_s, u"night"_s}},
    };
    return keys;
}
const QStringList kLanguages = {u"english"_s, u"chinese"_s};

// A list of numbers: its items are `first`, first + 1, ...
struct NumberKey {
    const char16_t* name;
    int ImageSettings::*member;
    int nFirst;
    int nItems;
};
constexpr NumberKey kNumberKeys[] = {
    {u"exposure_compensation", &ImageSettings::nExposureCompensation, -7, kExposureCompensationItems},
    {u"sharpness", &ImageSettings::nSharpness, 0, kSharpnessItems},
};

// Shutter items 1 to 8 by the times of both lists (50 Hz and 60 Hz formats).
const QStringList kShutter50Hz = {u"1/50"_s, u"1/100"_s, u"1/250"_s, u"1/500"_s, u"1/1000"_s, u"1/2000"_s, u"1/4000"_s, u"1/10000"_s};
const QStringList kShutter60Hz = {u"1/60"_s, u"1/120"_s, u"1/250"_s, u"1/500"_s, u"1/1000"_s, u"1/2000"_s, u"1/4000"_s, u"1/10000"_s};

QJsonValue Choice(const QStringList& items, int index)
{
    return index >= 0 && index < items.size() ? QJsonValue(items[index]) : QJsonValue();
}

QJsonValue ShutterToJson(const ImageSettings& s)
{
    switch (s.nShutter) {
    case Shutter::None: return QJsonValue();
    case Shutter::Auto: return u"auto"_s;
    case Shutter::Range: return QJsonObject{{u"range_ms"_s, QJsonArray{s.nLowerMs, s.nUpperMs}}};
    case Shutter::Value: return QJsonObject{{u"fixed_ms"_s, s.nLowerMs}};
    default: return (Uses60HzShutterList(s.nVideoCode) ? kShutter60Hz : kShutter50Hz).value(s.nShutter - 1);
    }
}

// A number as the file wrote it, as near as its value tells: 1.0000001 is
// not shown as 1, which would be allowed; 1e300 keeps its exponent.
QString NumberText(double number)
{
    if (number == std::floor(number) && std::abs(number) < 1e15)
        return QString::number(qint64(number));
    return QString::number(number, 'g', QLocale::FloatingPointShortest);
}

// A value as the messages show it; control characters escaped.
QString Shown(const QJsonValue& value)
{
    if (value.isString())
        return u'"' + PrintableName(value.toString()) + u'"';
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    if (value.isBool())
        return value.toBool() ? u"true"_s : u"false"_s;
    if (value.isDouble())
        return NumberText(value.toDouble());
    return u"null"_s;
}

std::optional<int> WholeNumberIn(const QJsonValue& value, int low, int high)
{
    if (!value.isDouble())
        return std::nullopt;
    // In range before any conversion: 1e300 has no integer to become.
    const double number = value.toDouble();
    if (!(number >= low && number <= high) || number != std::floor(number))
        return std::nullopt;
    return int(number);
}

// A read reports a user-defined time as line periods over whole line
// periods per millisecond (18 at 750 lines and 25 frames), so a camera's own
// limits may read as up to 0xFFFF / 18 ms. A file may name such a time where
// the camera has it already; a time it sets anew is at most 40 ms.
constexpr int kLongestReadMs = 0xFFFF / 18;

bool ReadShutterValue(const QJsonValue& value, ImageSettings* s, QString* allowed)
{
    *allowed = u"\"auto\", one of \"%1\" (or the 60 Hz \"1/60\", \"1/120\"), {\"range_ms\": [LOW, HIGH]} with "
               "0 <= LOW <= HIGH <= %2, or {\"fixed_ms\": MS} with 0 <= MS <= %2"_s
                   .arg(kShutter50Hz.join(u"\", \""_s))
                   .arg(kLongestExposureMs);
    if (value.isString()) {
        const QString text = value.toString();
        const qsizetype item = text == u"auto" ? 0 : std::max(kShutter50Hz.indexOf(text), kShutter60Hz.indexOf(text)) + 1;
        if (item == 0 && text != u"auto") // neither "auto" nor a time of either list
            return false;
        s->nShutter = int(item);
        return true;
    }
    const QJsonObject object = value.toObject();
    if (!value.isObject() || object.size() != 1)
        return false;
    if (object.contains(u"fixed_ms")) {
        const std::optional<int> ms = WholeNumberIn(object[u"fixed_ms"], 0, kLongestReadMs);
        if (!ms)
            return false;
        s->nShutter = Shutter::Value;
        s->nLowerMs = *ms;
        return true;
    }
    const QJsonArray range = object[u"range_ms"].toArray();
    if (range.size() != 2)
        return false;
    const std::optional<int> low = WholeNumberIn(range[0], 0, kLongestReadMs);
    const std::optional<int> high = WholeNumberIn(range[1], 0, kLongestReadMs);
    if (!low || !high || *high < *low)
        return false;
    s->nShutter = Shutter::Range;
    s->nLowerMs = *low;
    s->nUpperMs = *high;
    return true;
}

// False for a time over 40 ms that `camera` does not have already; *allowed says what is.
bool ShutterTimeFitsCamera(const ImageSettings& wanted, const ImageSettings& camera, QString* allowed)
{
    // A fixed time has one; the upper time left from the camera's range means nothing then.
    const int longest = wanted.nShutter == Shutter::Range   ? std::max(wanted.nLowerMs, wanted.nUpperMs)
                        : wanted.nShutter == Shutter::Value ? wanted.nLowerMs
                                                            : 0;
    if (longest <= kLongestExposureMs || SameShutter(wanted, camera))
        return true;
    *allowed = u"times up to %1 ms; a longer one only as the camera has it now (%2)"_s.arg(kLongestExposureMs).arg(
        Shown(ShutterToJson(camera)));
    return false;
}

// False for a shutter time that is not in the list `videoCode` uses; *allowed says what is.
bool ShutterFitsVideoFormat(const QJsonValue& shutter, int videoCode, QString* allowed)
{
    if (!shutter.isString() || shutter.toString() == u"auto")
        return true;
    const QStringList& offered = Uses60HzShutterList(videoCode) ? kShutter60Hz : kShutter50Hz;
    *allowed = u"for this camera's video format %1 \"auto\" or one of \"%2\""_s.arg(
        VideoFormatTextForCode(videoCode), offered.join(u"\", \""_s));
    return offered.contains(shutter.toString());
}

} // namespace

CameraSettings SettingsOfRegisters(const unsigned char* image)
{
    return {DecodeImageSettings(image), StoredRegister(image, kLanguageRegister) & 0x01};
}

QJsonObject SettingsToJson(const CameraSettings& settings)
{
    const ImageSettings& s = settings.image;
    QJsonObject json{
        {u"format"_s, kSettingsFormat},
        {u"camera"_s, QJsonObject{{u"hardware_version"_s, VersionText(s.nHardwareVersion)},
                                  {u"software_version"_s, VersionText(s.nSoftwareVersion)},
                                  {u"video_format"_s, VideoFormatTextForCode(s.nVideoCode)}}},
        {u"shutter"_s, ShutterToJson(s)},
        {u"osd_language"_s, Choice(kLanguages, settings.nOsdLanguage)},
    };
    for (const PercentKey& key : kPercentKeys)
        json[QStringView(key.name).toString()] = s.*key.member;
    for (const SwitchKey& key : kSwitchKeys)
        json[QStringView(key.name).toString()] = s.*key.member;
    for (const ChoiceKey& key : ChoiceKeys())
        json[QStringView(key.name).toString()] = Choice(key.items, s.*key.member);
    for (const NumberKey& key : kNumberKeys) {
        const int index = s.*key.member;
        json[QStringView(key.name).toString()] = index >= 0 && index < key.nItems ? QJsonValue(key.nFirst + index) : QJsonValue();
    }
    return json;
}

bool ReadSettingsFile(const QByteArray& json, CameraSettings* settings, QStringList* keys, QString* error,
                      VideoFormatFit fit)
{
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        *error = u"not JSON: %1 at byte %2"_s.arg(parse.errorString()).arg(parse.offset);
        return false;
    }
    if (!document.isObject()) {
        *error = u"not a JSON object"_s;
        return false;
    }
    if (const QString duplicate = FirstDuplicateKey(json); !duplicate.isEmpty()) {
        *error = u"\"%1\" is given twice; allowed: each key once"_s.arg(PrintableName(duplicate));
        return false;
    }
    const QJsonObject object = document.object();
    if (!object.contains(u"format")) {
        *error = u"\"format\" is missing; a settings file starts with {\"format\": %1, ..."_s.arg(kSettingsFormat);
        return false;
    }
    if (object[u"format"] != QJsonValue(kSettingsFormat)) {
        *error = u"\"format\": %1; allowed: %2"_s.arg(Shown(object[u"format"])).arg(kSettingsFormat);
        return false;
    }

    CameraSettings result = *settings;
    ImageSettings& s = result.image;
    // Each key's reader: true when the value is allowed; *allowed says what is.
    std::map<QString, std::function<bool(const QJsonValue&, QString*)>> readers;
    readers[u"format"_s] = [](const QJsonValue&, QString*) { return true; };
    readers[u"camera"_s] = [](const QJsonValue& v, QString* allowed) {
        *allowed = u"an object (what the camera is; never applied)"_s;
        return v.isObject();
    };
    readers[u"shutter"_s] = [&s](const QJsonValue& v, QString* allowed) { return ReadShutterValue(v, &s, allowed); };
    readers[u"osd_language"_s] = [&result](const QJsonValue& v, QString* allowed) {
        *allowed = u"\"english\" or \"chinese\""_s;
        result.nOsdLanguage = int(kLanguages.indexOf(v.toString()));
        return v.isString() && result.nOsdLanguage >= 0;
    };
    for (const PercentKey& key : kPercentKeys) {
        readers[QStringView(key.name).toString()] = [&s, key](const QJsonValue& v, QString* allowed) {
            *allowed = u"a whole number from 0 to 100"_s;
            const std::optional<int> number = WholeNumberIn(v, 0, 100);
            if (number)
                s.*key.member = *number;
            return number.has_value();
        };
    }
    for (const SwitchKey& key : kSwitchKeys) {
        readers[QStringView(key.name).toString()] = [&s, key](const QJsonValue& v, QString* allowed) {
            *allowed = u"true or false"_s;
            s.*key.member = v.toBool();
            return v.isBool();
        };
    }
    for (const ChoiceKey& key : ChoiceKeys()) {
        readers[QStringView(key.name).toString()] = [&s, &key](const QJsonValue& v, QString* allowed) {
            *allowed = u"one of \"%1\""_s.arg(key.items.join(u"\", \""_s));
            const qsizetype index = key.items.indexOf(v.toString());
            s.*key.member = int(index);
            return v.isString() && index >= 0;
        };
    }
    for (const NumberKey& key : kNumberKeys) {
        readers[QStringView(key.name).toString()] = [&s, key](const QJsonValue& v, QString* allowed) {
            *allowed = u"a whole number from %1 to %2"_s.arg(key.nFirst).arg(key.nFirst + key.nItems - 1);
            const std::optional<int> number = WholeNumberIn(v, key.nFirst, key.nFirst + key.nItems - 1);
            if (number)
                s.*key.member = *number - key.nFirst;
            return number.has_value();
        };
    }

    // Every wrong key is named at once, so that one round of edits mends the file.
    QStringList given;
    QStringList unknown;
    QStringList wrong;
    std::set<QString> failed;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const auto reader = readers.find(it.key());
        if (reader == readers.end()) {
            unknown.append(u"\"%1\""_s.arg(PrintableName(it.key())));
            continue;
        }
        if (it.value().isNull())
            continue;
        QString allowed;
        if (!reader->second(it.value(), &allowed)) {
            wrong.append(u"\"%1\": %2; allowed: %3"_s.arg(it.key(), Shown(it.value()), allowed));
            failed.insert(it.key());
            continue;
        }
        if (it.key() != u"format" && it.key() != u"camera") // what the file is, not what it sets
            given.append(it.key());
    }
    if (!unknown.isEmpty()) {
        QStringList known;
        for (const auto& [name, unused] : readers)
            known.append(name);
        wrong.prepend(u"unknown key%1 %2; known keys: %3"_s.arg(unknown.size() > 1 ? u"s"_s : QString(),
                                                                 unknown.join(u", "_s), known.join(u", "_s)));
    }
    // The checks of one value against another need both values read.
    if (!failed.contains(u"contrast_enhancement"_s) && !failed.contains(u"backlight"_s) && s.bContrastOn
        && s.nBacklightMode != BacklightMode::Off) {
        wrong.append(u"\"contrast_enhancement\": true with \"backlight\": \"%1\"; allowed: one of them, the other "
                     "false or \"off\""_s
                         .arg(ChoiceKeys()[1].items.value(s.nBacklightMode)));
    }
    if (QString allowed; fit == VideoFormatFit::Checked && !failed.contains(u"shutter"_s)
                         && (!ShutterFitsVideoFormat(object[u"shutter"], s.nVideoCode, &allowed)
                             || !ShutterTimeFitsCamera(s, settings->image, &allowed))) {
        wrong.append(u"\"shutter\": %1; allowed: %2"_s.arg(Shown(object[u"shutter"]), allowed));
    }
    if (!wrong.isEmpty()) {
        *error = wrong.join(u'\n');
        return false;
    }
    *settings = result;
    *keys = given;
    return true;
}

std::vector<SettingChange> SettingChanges(const QJsonObject& from, const QJsonObject& to, const QStringList& keys)
{
    std::vector<SettingChange> changes;
    for (const QString& key : keys) {
        if (from[key] != to[key])
            changes.push_back({key, from[key], to[key]});
    }
    return changes;
}

QStringList SettingKeys()
{
    QStringList keys = SettingsToJson(CameraSettings{}).keys();
    keys.removeAll(u"format"_s);
    keys.removeAll(u"camera"_s);
    return keys;
}

QString SettingValueText(const QJsonValue& value)
{
    return value.isObject() ? QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact))
           : value.isBool() ? (value.toBool() ? u"on"_s : u"off"_s)
           : value.isNull() ? u"(none)"_s
                            : value.toVariant().toString();
}

QStringList SettingsDifferences(const QJsonObject& wanted, const QJsonObject& readBack, const QStringList& keys)
{
    QStringList differences;
    for (const SettingChange& change : SettingChanges(readBack, wanted, keys))
        differences.append(u"%1: wanted %2, camera has %3"_s.arg(change.strKey, Shown(change.to), Shown(change.from)));
    return differences;
}
