#include "provision/settings_apply.h"

#include "core/protocol/link_protocol.h"
#include "core/protocol/register_map.h"
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

CameraSettings SettingsAfterWrites(const std::vector<RegisterWrite>& writes, const RegisterImage& image)
{
    RegisterImage after = image;
    for (const RegisterWrite& write : writes) {
        if (const int at = ImagePositionOf(write.nRegister); at >= 0)
            after[std::size_t(at)] = static_cast<unsigned char>(write.nValue);
    }
    return SettingsOfRegisters(after.data());
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
    const std::vector<RegisterWrite> writes = SettingsWrites(wanted, link.Registers().data());
    // What the camera should read back: {"range_ms": [0, 40]} and "auto" are the same registers.
    const CameraSettings expected = SettingsAfterWrites(writes, link.Registers());
    for (const RegisterWrite& write : writes)
        link.Write(write);
    // Told apart from a failed read-back: cut short here, part of the file went out.
    if (!link.WaitUntilSent())
        return {ApplyResult::Fault::WritesStopped, link.DeviceLost() ? link.LossText() : QString(), {}};
    link.Pause(kReadBackPauseMs);
    if (!link.ReadConfiguration(&error))
        return {ApplyResult::Fault::ReadBackFailed, error, {}};
    const QStringList differences =
        SettingsDifferences(SettingsToJson(expected), SettingsToJson(SettingsOfCamera(link)), keys);
    if (!differences.isEmpty())
        return {ApplyResult::Fault::Differs, {}, differences};
    return {};
}
