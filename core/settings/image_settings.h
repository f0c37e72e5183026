#pragma once

#include "core/settings/exposure.h"

#include <QString>
#include <array>
#include <vector>

// Everything the image-parameter page shows and sends, apart from its
// widgets. List selections are indexes counted from 0, -1 for none.
struct ImageSettings {
    int nVideoCode = 0;          // register 0x1F, for the frame timing
    int nHardwareVersion = 0;    // register 0x00
    int nSoftwareVersion = 0;    // register 0x01
    bool bIrisOffered = false;   // bit 0 of register 0x02

    // The six values, as the camera reports them (0..255) or as saved (0..100).
    int nBrightness = 0;
    int nContrast = 0;
    int nChroma = 0;
    int nSaturation = 0;
    int nBacklightLevel = 0;
    int nGain = 0;

    int nShutter = Shutter::None;
    int nLowerMs = 0; // edit 1064: the lower time of a range, or the one value
    int nUpperMs = 0; // edit 1065: the upper time of a range
    bool bUserTimes = false; // a fill gave the time edits new text

    bool bAutoGain = false;      // 1035
    int nIris = -1;              // 1037: 0 "非自动", 1 "自动"
    bool bContrastOn = false;    // 1014
    int nBacklightMode = 0;      // 1015: 0 off, 1 manual, 2 automatic
    bool bNegative = false;      // 1041
    bool bMirror = false;        // 1039
    int nExposureCompensation = -1; // 1038, 0 for "-7" ... 14 for "7"
    int nSharpness = -1;         // 1046
    int nScene = -1;             // 1025
    int nWhiteBalance = -1;      // 1042, 7 "自定义"
    int nDayNight = -1;          // 1044
};

namespace BacklightMode {
constexpr int Off = 0;
constexpr int Manual = 1;
constexpr int Automatic = 2;
} // namespace BacklightMode

// Items of the fixed lists.
constexpr int kExposureCompensationItems = 15;
constexpr int kSharpnessItems = 16;
constexpr int kSceneItems = 5;
constexpr int kWhiteBalanceItems = 8;
constexpr int kDayNightItems = 3;
constexpr int kCustomWhiteBalance = 7;

// The six values in the order of their edits 1002, 1003, 1004, 1005, 1006
// and 1036: brightness, contrast, chroma, saturation, backlight level, gain.
std::array<int, 6> SixValues(const ImageSettings& settings);
void SetSixValues(ImageSettings* settings, const std::array<int, 6>& values);

// The page's default command: automatic exposure, gain and iris, contrast
// on, backlight compensation off at 30, colour values and gain at 50,
// exposure compensation "0", sharpness 7, scene "阴天室内", automatic white
// balance and day/night. What the camera reported (format, versions, times)
// is kept.
ImageSettings WithDefaults(ImageSettings settings);

// "V%d.%d" from the two halves of a version byte: 0x12 -> "V1.2", 0x0A -> "V0.10".
QString VersionText(int versionByte);

// The settings an image laid out as RegisterImage holds. Contrast and
// backlight compensation exclude each other; when the camera reports both,
// backlight compensation wins, as the page's fill ends.
ImageSettings DecodeImageSettings(const unsigned char* image);

// Whether two settings choose the same shutter item with the same times.
bool SameShutter(const ImageSettings& a, const ImageSettings& b);

// Register 0x08: bit 0 for shutter items 0 and 9, bit 1 automatic gain,
// bit 2 automatic iris, bit 3 contrast.
int ExposureFlags(const ImageSettings& settings);
// Register 0x09: bit 4 the white-balance trigger, bit 5 negative, bit 6 mirror.
int ImageFlags(const ImageSettings& settings, bool trigger);

// 1 written here makes the camera take the settings written before it.
constexpr int kCommitRegister = 0xEF;

struct RegisterWrite {
    int nValue;
    int nRegister;
    bool operator==(const RegisterWrite&) const = default;
};

// The 19 writes of a full save, in order, ending with 1 to 0xEF. A list
// without a selection sends what the last read cycle stored for its
// register (`image`), so the camera keeps what it has.
std::vector<RegisterWrite> FullWrite(const ImageSettings& settings, const unsigned char* image);
