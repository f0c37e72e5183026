#pragma once

#include <QString>
#include <array>
#include <optional>

// The input checks of the image page's save, without widgets.

// A whole number: at least one character, only 0 to 9 (no sign, no point, no
// blanks). A number too long for 32 bits reads as the largest one, so that
// it clamps to 100 like any other large value.
std::optional<int> WholeNumber(const QString& text);

// 0..100.
int ClampPercent(int value);

// The edits of the six values, in the order they are checked.
constexpr std::array<int, 6> kValueEditIds = {1002, 1003, 1004, 1005, 1006, 1036};

// A failed check: the message (string number) and the control that gets the focus.
struct CheckFailure {
    int nMessageId;
    int nFocusId;
};

// The six value texts, in the order of kValueEditIds: the first that is not
// a whole number fails, with the focus on its edit.
std::optional<CheckFailure> CheckValueTexts(const std::array<QString, 6>& texts);

// The time edits for shutter items 9 (range: both) and 10 (value: 1064
// only): whole numbers, the lower (or only) time at most 40 ms, the upper
// time at most 40 ms and not below the lower one. Other items pass without
// a look. On success the times are stored in *lowerMs and *upperMs (the
// upper one only for item 9).
std::optional<CheckFailure> CheckExposureTimes(int shutter, const QString& lowerText, const QString& upperText,
                                               int* lowerMs, int* upperMs);
