#pragma once

#include "core/protocol/register_map.h"
#include "core/settings/settings_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class CCameraLink;

// The settings of the camera as the link's last read left them.
CameraSettings SettingsOfCamera(const CCameraLink& link);

// A settings file checked in full against the defaults, before any port is
// opened, so that a bad file sends nothing.
struct SettingsToApply {
    QByteArray file;
    QStringList keys; // the settings it names
};
std::optional<SettingsToApply> CheckSettingsFile(const QByteArray& file, QString* error);

// What writing the settings to a camera came to.
struct ApplyResult {
    enum class Fault {
        None,
        DoesNotFit,     // refused for this camera's settings before anything was written
        WritesStopped,  // interrupted, or the line lost (strError), before every write was out:
                        // the camera may hold part of the file
        ReadBackFailed, // written, but the read-back failed
        Differs,        // written and read back, and some settings differ
    };
    Fault fault = Fault::None;
    QString strError;        // DoesNotFit, ReadBackFailed, a lost line's WritesStopped: why
    QStringList differences; // Differs: "key: wanted X, camera has Y"
};

// The writes that give a camera whose registers hold `image` the settings
// `wanted`: the whole image, the OSD language and the commit. A shutter
// that `image` holds already is written back as the registers hold it.
std::vector<RegisterWrite> SettingsWrites(const CameraSettings& wanted, const unsigned char* image);

// The settings a camera whose registers hold `image` reads back once it
// took `writes`: what a read-back is compared with, and a file with the camera.
CameraSettings SettingsAfterWrites(const std::vector<RegisterWrite>& writes, const RegisterImage& image);

// Lays the file over what the camera has (just read), writes the whole
// image, the OSD language and the commit, pauses, reads back and compares
// the file's settings. The camera's settings before and after are kept as
// records of the write `what` ("apply FILE").
ApplyResult ApplySettings(CCameraLink& link, const SettingsToApply& settings, const QString& what);
