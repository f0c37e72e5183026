#include "core/settings/exposure.h"

namespace {

// Items 3 to 8 are fractions of a second.
constexpr int kDivisors[] = {250, 500, 1000, 2000, 4000, 10000};

int LinesPerSecond(VideoTiming timing)
{
    return timing.nFrameRate * timing.nLineCount;
}

} // namespace

VideoTiming VideoTimingForCode(int code)
{
    VideoTiming timing;
    timing.nLineCount = code <= 0x0F ? 1125 : 750;
    switch (code & 0x0F) {
    case 1: timing.nFrameRate = 30; break;
    case 2: timing.nFrameRate = 50; break;
    case 3: timing.nFrameRate = 60; break;
    default: timing.nFrameRate = 25; break;
    }
    return timing;
}

bool Uses60HzShutterList(int code)
{
    return (code & 0x01) != 0;
}

int LinePeriodsForMs(double ms, VideoTiming timing)
{
    return static_cast<int>(ms * timing.nFrameRate * timing.nLineCount / 1000.0);
}

int ShutterLinePeriods(int item, VideoTiming timing)
{
    switch (item) {
    case Shutter::Auto: return LinesPerSecond(timing) * kLongestExposureMs / 1000;
    case 1: return timing.nLineCount / 2; // half a frame, whatever the frame rate
    case 2: return timing.nLineCount / 4;
    default:
        if (item >= 3 && item <= 8)
            return LinesPerSecond(timing) / kDivisors[item - 3];
        return -1;
    }
}

ExposureLimits ExposureLimitsFor(int item, VideoTiming timing, double lowerMs, double upperMs)
{
    switch (item) {
    case Shutter::Auto: return {ShutterLinePeriods(Shutter::Auto, timing), 0};
    case Shutter::Range: return {LinePeriodsForMs(upperMs, timing), LinePeriodsForMs(lowerMs, timing)};
    case Shutter::Value: {
        const int periods = LinePeriodsForMs(lowerMs, timing);
        return {periods, periods};
    }
    default: {
        const int periods = ShutterLinePeriods(item, timing);
        return periods < 0 ? ExposureLimits{} : ExposureLimits{periods, periods};
    }
    }
}

ShutterReading ReadShutter(int min, int max, bool rangeFlag, VideoTiming timing)
{
    if (min == max) {
        for (int item = 1; item <= 8; ++item) {
            if (max == ShutterLinePeriods(item, timing))
                return {item, false, 0, 0};
        }
    } else if (min == 0 && max == ShutterLinePeriods(Shutter::Auto, timing)) {
        return {Shutter::Auto, false, 0, 0};
    }
    const int perMs = LinesPerSecond(timing) / 1000;
    ShutterReading reading;
    reading.nItem = rangeFlag ? Shutter::Range : Shutter::Value;
    reading.bUserTimes = true;
    reading.nLowerMs = static_cast<int>(static_cast<double>(min) / perMs);
    reading.nUpperMs = static_cast<int>(static_cast<double>(max) / perMs);
    return reading;
}
