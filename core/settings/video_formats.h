#pragma once

#include "core/settings/exposure.h"
#include "core/settings/image_settings.h"

#include <QStringList>
#include <array>
#include <optional>

// The eight video formats, in their fixed order.
QStringList VideoFormatTexts();

// The formats offered for config.ini's "vedioType": with exactly eight
// characters, format i when character i is '1'; otherwise all eight.
QStringList OfferedVideoFormats(const QString& vedioType);

// What a format text sends (table F): the code of register 0x1F and the line
// count that goes with it; the frame rate follows from the code. The camera
// decides what its codes mean, so the table stays as the camera expects it,
// also where it looks inconsistent ("720p@25" sends the code of "1080p@25").
struct VideoFormat {
    int nCode = 0;
    int nLineCount = 1125;
    VideoTiming Timing() const { return {VideoTimingForCode(nCode).nFrameRate, nLineCount}; }
};
std::optional<VideoFormat> VideoFormatForText(const QString& text);

// The text shown for a stored code (table D): 0x00 "1080p@25", 0x01
// "1080p@30", 0x10 "1080p@50", 0x11 "1080p@60", anything else "720p@60".
QString VideoFormatTextForCode(int code);

// The six writes of a change of format: MAX and MIN for the image page's
// exposure choice at the new format's timing (registers 0x0F, 0x0E, 0x0D,
// 0x0C), then the code to 0x1F and 1 to 0xEF. The sender pauses 10 ms after
// the fourth and 1000 ms after the last.
constexpr std::size_t kLimitWrites = 4;
std::array<RegisterWrite, 6> VideoFormatWrites(const VideoFormat& format, const ExposureChoice& exposure);
