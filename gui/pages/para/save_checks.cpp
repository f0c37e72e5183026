#include "gui/pages/para/save_checks.h"

#include "core/settings/exposure.h"
#include "gui/resources/string_ids.h"

#include <algorithm>
#include <limits>

std::optional<int> WholeNumber(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const QChar ch : text) {
        if (ch < u'0' || ch > u'9')
            return std::nullopt;
        value = std::min<qint64>(value * 10 + (ch.unicode() - u'0'), std::numeric_limits<int>::max());
    }
    return static_cast<int>(value);
}

int ClampPercent(int value)
{
    return std::clamp(value, 0, 100);
}

std::optional<CheckFailure> CheckValueTexts(const std::array<QString, 6>& texts)
{
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (!WholeNumber(texts[i]))
            return CheckFailure{Ids::NotAnInteger, kValueEditIds[i]};
    }
    return std::nullopt;
}

std::optional<CheckFailure> CheckExposureTimes(int shutter, const QString& lowerText, const QString& upperText,
                                               int* lowerMs, int* upperMs)
{
    if (shutter != Shutter::Range && shutter != Shutter::Value)
        return std::nullopt;
    const std::optional<int> lower = WholeNumber(lowerText);
    if (!lower)
        return CheckFailure{Ids::NotAnInteger, 1064};
    *lowerMs = *lower;
    if (*lower > kLongestExposureMs)
        return CheckFailure{Ids::BadExposure, 1064};
    if (shutter == Shutter::Value)
        return std::nullopt;
    const std::optional<int> upper = WholeNumber(upperText);
    if (!upper)
        return CheckFailure{Ids::NotAnInteger, 1065};
    *upperMs = *upper;
    if (*upper > kLongestExposureMs || *upper < *lower)
        return CheckFailure{Ids::BadExposure, 1065};
    return std::nullopt;
}
