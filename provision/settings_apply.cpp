#include "provision/settings_apply.h"

#include "core/protocol/link_protocol.h"
#include "core/settings/settings_file.h"
#include "provision/camera_link.h"

CameraSettings SettingsOfCamera(const CCameraLink& link)
{
    return SettingsOfRegisters(link.Registers().data());
}

std::optional<SettingsToApply> CheckSettingsFile(const QByteArray& file, QString* error)
{
    CameraSettings defaults;
    SettingsToApply settings{file, {}};
    // The camera is not read yet: its video format is checked once it is.
    if (!ReadSettingsFile(file, &defaults, &settings.keys, error, VideoFormatFit::NotKnownYet))
        return std::nullopt;
    return settings;
}

std::vector<RegisterWrite> SettingsWrites(const CameraSettings& wanted, const unsigned char* image)
{
    // A shutter the camera has already keeps its registers as they are:
    // written again from whole milliseconds, its limits would creep at every
    // apply where a millisecond is not a whole number of line periods.
    ImageSettings settings = wanted.image;
    if (SameShutter(settings, DecodeImageSettings(image)))
        settings.nShutter = Shutter::None;
    std::vector<RegisterWrite> writes = FullWrite(settings, image);
    writes.push_back({wanted.nOsdLanguage, kLanguageRegister});
    writes.push_back({1, kCommitRegister});
    return writes;
}

ApplyResult ApplySettings(CCameraLink& link, const SettingsToApply& settings, const QString& what)
{
    // Laid over what the camera has: a file that only fits the defaults
    // (contrast enhancement on while this camera's backlight is on) is
    // refused here, before anything is written.
    CameraSettings wanted = SettingsOfCamera(link);
    QStringList keys;
    QString error;
    if (!ReadSettingsFile(settings.file, &wanted, &keys, &error))
        return {ApplyResult::Fault::DoesNotFit, error, {}};
    link.Connection().BeginWrite(what);
    for (const RegisterWrite& write : SettingsWrites(wanted, link.Registers().data()))
        link.Write(write);
    // Told apart from a failed read-back: stopped here, part of the file went out.
    if (!link.WaitUntilSent())
        return {ApplyResult::Fault::WritesStopped, {}, {}};
    link.Pause(kReadBackPauseMs);
    if (!link.ReadConfiguration(&error))
        return {ApplyResult::Fault::ReadBackFailed, error, {}};
    const QStringList differences =
        SettingsDifferences(SettingsToJson(wanted), SettingsToJson(SettingsOfCamera(link)), keys);
    if (!differences.isEmpty())
        return {ApplyResult::Fault::Differs, {}, differences};
    return {};
}
