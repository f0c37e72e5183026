#include "core/settings/image_settings.h"

#include "core/protocol/register_map.h"

using namespace Qt::StringLiterals;

namespace {

// A stored byte as a list index, -1 when the list has no such item.
int ListIndex(int value, int items)
{
    return value >= 0 && value < items ? value : -1;
}

int Selected(int index, int stored)
{
    return index >= 0 ? index : stored;
}

} // namespace

std::array<int, 6> SixValues(const ImageSettings& s)
{
    return {s.nBrightness, s.nContrast, s.nChroma, s.nSaturation, s.nBacklightLevel, s.nGain};
}

void SetSixValues(ImageSettings* s, const std::array<int, 6>& values)
{
    s->nBrightness = values[0];
    s->nContrast = values[1];
    s->nChroma = values[2];
    s->nSaturation = values[3];
    s->nBacklightLevel = values[4];
    s->nGain = values[5];
}

ImageSettings WithDefaults(ImageSettings s)
{
    s.nShutter = Shutter::Auto;
    s.nBacklightMode = BacklightMode::Off;
    SetSixValues(&s, {50, 50, 50, 50, 30, 50});
    s.bAutoGain = true;
    s.nIris = 1;
    s.bContrastOn = true;
    s.bNegative = s.bMirror = false;
    s.nExposureCompensation = 7; // "0"
    s.nSharpness = 7;
    s.nScene = 3;                // "阴天室内"
    s.nWhiteBalance = 1;         // "自动"
    s.nDayNight = 1;             // "自动"
    return s;
}

QString VersionText(int versionByte)
{
    return u"V%1.%2"_s.arg((versionByte >> 4) & 0x0F).arg(versionByte & 0x0F);
}

ImageSettings DecodeImageSettings(const unsigned char* image)
{
    const auto reg = [image](int address) { return StoredRegister(image, address); };
    ImageSettings s;
    s.nVideoCode = reg(0x1F);
    s.nHardwareVersion = reg(0x00);
    s.nSoftwareVersion = reg(0x01);
    s.bIrisOffered = reg(0x02) & 0x01;

    s.nBrightness = reg(0x12);
    s.nContrast = reg(0x13);
    s.nChroma = reg(0x15);
    s.nSaturation = reg(0x14);
    s.nBacklightLevel = reg(0x16);
    s.nGain = reg(0x10);

    const int exposure = reg(0x08);
    const ShutterReading shutter = ReadShutter(reg(0x0D) * 256 + reg(0x0C), reg(0x0F) * 256 + reg(0x0E),
                                               exposure & 0x01, VideoTimingForCode(s.nVideoCode));
    s.nShutter = shutter.nItem;
    s.bUserTimes = shutter.bUserTimes;
    s.nLowerMs = shutter.nLowerMs;
    s.nUpperMs = shutter.nUpperMs;

    s.bAutoGain = exposure & 0x02;
    s.nIris = (exposure & 0x04) ? 1 : 0;
    const int backlight = reg(0x1D) & 0x03;
    s.nBacklightMode = backlight >= 2 ? BacklightMode::Automatic : backlight;
    s.bContrastOn = (exposure & 0x08) && s.nBacklightMode == BacklightMode::Off;

    const int flags = reg(0x09);
    s.bNegative = flags & 0x20;
    s.bMirror = flags & 0x40;
    s.nExposureCompensation = ListIndex(reg(0x19), kExposureCompensationItems);
    s.nSharpness = ListIndex(reg(0x1A), kSharpnessItems);
    s.nScene = ListIndex(reg(0x1B) - 1, kSceneItems);
    s.nWhiteBalance = ListIndex(reg(0x1C) & 0x0F, kWhiteBalanceItems);
    s.nDayNight = ListIndex(reg(0x1E) & 0x03, kDayNightItems);
    return s;
}

bool SameShutter(const ImageSettings& a, const ImageSettings& b)
{
    if (a.nShutter != b.nShutter)
        return false;
    if (a.nShutter == Shutter::Range)
        return a.nLowerMs == b.nLowerMs && a.nUpperMs == b.nUpperMs;
    return a.nShutter != Shutter::Value || a.nLowerMs == b.nLowerMs;
}

int ExposureFlags(const ImageSettings& settings)
{
    int flags = 0;
    if (settings.nShutter == Shutter::Auto || settings.nShutter == Shutter::Range)
        flags |= 0x01;
    if (settings.bAutoGain)
        flags |= 0x02;
    if (settings.nIris == 1)
        flags |= 0x04;
    if (settings.bContrastOn)
        flags |= 0x08;
    return flags;
}

int ImageFlags(const ImageSettings& settings, bool trigger)
{
    return (trigger ? 0x10 : 0) | (settings.bNegative ? 0x20 : 0) | (settings.bMirror ? 0x40 : 0);
}

std::vector<RegisterWrite> FullWrite(const ImageSettings& settings, const unsigned char* image)
{
    const auto stored = [image](int address) { return StoredRegister(image, address); };

    // Without a shutter selection, or an iris selection, the camera keeps
    // the exposure it has: the stored limits and bits go back unchanged.
    ExposureLimits limits{stored(0x0F) * 256 + stored(0x0E), stored(0x0D) * 256 + stored(0x0C)};
    int exposureFlags = ExposureFlags(settings);
    if (settings.nShutter != Shutter::None)
        limits = ExposureLimitsFor(settings.nShutter, VideoTimingForCode(settings.nVideoCode), settings.nLowerMs,
                                   settings.nUpperMs);
    else
        exposureFlags = (exposureFlags & ~0x01) | (stored(0x08) & 0x01);
    if (settings.nIris < 0)
        exposureFlags = (exposureFlags & ~0x04) | (stored(0x08) & 0x04);

    return {
        {settings.nBacklightMode, 0x1D}, // 2 automatic, 1 manual, 0 off
        {settings.nBacklightLevel, 0x16},
        {settings.nBrightness, 0x12},
        {settings.nContrast, 0x13},
        {settings.nChroma, 0x15},
        {settings.nSaturation, 0x14},
        {(limits.nMax >> 8) & 0xFF, 0x0F},
        {limits.nMax & 0xFF, 0x0E},
        {(limits.nMin >> 8) & 0xFF, 0x0D},
        {limits.nMin & 0xFF, 0x0C},
        {exposureFlags, 0x08},
        {ImageFlags(settings, false), 0x09},
        {settings.nGain, 0x10},
        {Selected(settings.nExposureCompensation, stored(0x19)), 0x19},
        {Selected(settings.nSharpness, stored(0x1A)), 0x1A},
        {settings.nScene >= 0 ? settings.nScene + 1 : stored(0x1B), 0x1B},
        {Selected(settings.nWhiteBalance, stored(0x1C)), 0x1C},
        {Selected(settings.nDayNight, stored(0x1E)), 0x1E},
        {1, kCommitRegister},
    };
}
