#pragma once

#include "core/settings/image_settings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

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

// The whole settings file of what a camera reported.
QJsonObject SettingsToJson(const CameraSettings& settings);

// Lays a settings file over `settings` (what the camera has): keys left
// out, or null, keep the camera's value. False with *error naming the key,
// the value and what is allowed when anything in the file is wrong; then
// `settings` is left as it was. *keys gets the keys the file sets.
bool ReadSettingsFile(const QByteArray& json, CameraSettings* settings, QStringList* keys, QString* error);

// "key: wanted X, camera has Y" for each of `keys` whose value differs.
QStringList SettingsDifferences(const QJsonObject& wanted, const QJsonObject& readBack, const QStringList& keys);
