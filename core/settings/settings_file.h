#pragma once

#include "core/settings/image_settings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <vector>

// A camera's settings as a person reads and edits them: JSON with named
// keys ("brightness": 50, "shutter": "auto" or {"range_ms": [10, 20]}), a
// "format" version and a "camera" section that says what the camera is
// (versions, video format) and is never applied.
constexpr int kSettingsFormat = 1;
// A settings file is a few hundred bytes; anything over this is not one.
constexpr qint64 kSettingsFileMax = 1024 * 1024;

struct CameraSettings {
    ImageSettings image;
    int nOsdLanguage = -1; // register 0xF9: 0 English, 1 Chinese
};

// The settings a register image (laid out as RegisterImage) holds.
CameraSettings SettingsOfRegisters(const unsigned char* image);

// The whole settings file of what a camera reported.
QJsonObject SettingsToJson(const CameraSettings& settings);

// Whether a file is checked against the video format of the settings it is
// laid over: a shutter time of the other mains frequency's list ("1/50" on a
// 60 Hz format) would otherwise set the item of the same place, another time.
enum class VideoFormatFit { Checked, NotKnownYet };

// Lays a settings file over `settings` (what the camera has): keys left
// out, or null, keep the camera's value. False with *error naming, one line
// each, every key whose value is wrong, with the value and what is allowed;
// then `settings` is left as it was. *keys gets the keys the file sets. A file
// that does not fit `settings` (contrast enhancement on while backlight
// compensation is on; a shutter time its video format does not offer; a
// time over 40 ms the camera does not have already) is refused the same way,
// naming the key.
bool ReadSettingsFile(const QByteArray& json, CameraSettings* settings, QStringList* keys, QString* error,
                      VideoFormatFit fit = VideoFormatFit::Checked);

// One of `keys` whose value in `to` is not its value in `from`, in the
// order of `keys`.
struct SettingChange {
    QString strKey;
    QJsonValue from;
    QJsonValue to;
};
std::vector<SettingChange> SettingChanges(const QJsonObject& from, const QJsonObject& to, const QStringList& keys);

// Every key a settings file may set, by name.
QStringList SettingKeys();

// A setting's value as a person reads it: on/off, a number, a word.
QString SettingValueText(const QJsonValue& value);

// "key: wanted X, camera has Y" for each of `keys` whose value differs.
QStringList SettingsDifferences(const QJsonObject& wanted, const QJsonObject& readBack, const QStringList& keys);
