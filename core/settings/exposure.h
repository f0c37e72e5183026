#pragma once

// Exposure on the camera's terms: times count line periods of its current
// video format, one second holding F x L of them (F frames per second, L
// lines per frame, both from the video-format code in register 0x1F).

struct VideoTiming {
    int nFrameRate = 25;  // F
    int nLineCount = 1125; // L
};

// F and L of a video-format code: L = 1125 up to 0x0F, else 750; F from the
// low four bits, 1 -> 30, 2 -> 50, 3 -> 60, anything else 25.
VideoTiming VideoTimingForCode(int code);

// Bit 0 of the code chooses the 60 Hz shutter items (string 148), else 50 Hz (147).
bool Uses60HzShutterList(int code);

// Items of the shutter list 1034.
namespace Shutter {
constexpr int None = -1;   // no selection
constexpr int Auto = 0;    // automatic between 0 and 40 ms
constexpr int Range = 9;   // "用户自定义区间": automatic between two times
constexpr int Value = 10;  // "用户自定义值": fixed at one time
constexpr int Count = 11;
} // namespace Shutter

// The longest time the automatic exposure may take: 40 ms.
constexpr int kLongestExposureMs = 40;

// floor(T * F * L / 1000), the product in double precision.
int LinePeriodsForMs(double ms, VideoTiming timing);

// The line periods of items 0 to 8 (item 0: the automatic maximum of 40 ms);
// -1 for any other item.
int ShutterLinePeriods(int item, VideoTiming timing);

struct ExposureLimits {
    int nMax = 0;
    int nMin = 0;
};

// What the image page has chosen for the exposure: its shutter item and the
// times of a user-defined exposure. The OSD page recomputes MAX and MIN from
// it for a new video format.
struct ExposureChoice {
    int nShutter = Shutter::None;
    double dLowerMs = 0;
    double dUpperMs = 0;
};

// MAX and MIN for a shutter item 0 to 10; the times are those of the edits
// 1064 (lower, or the one value) and 1065 (upper).
ExposureLimits ExposureLimitsFor(int item, VideoTiming timing, double lowerMs, double upperMs);

// The shutter item that MIN and MAX stand for, and for a user-defined
// setting (items 9 and 10) the whole milliseconds the time edits show.
struct ShutterReading {
    int nItem = Shutter::Auto;
    bool bUserTimes = false; // only then do the time edits get new text
    int nLowerMs = 0;
    int nUpperMs = 0;
};
ShutterReading ReadShutter(int min, int max, bool rangeFlag, VideoTiming timing);
