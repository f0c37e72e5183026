#include "core/settings/video_formats.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kVideoFormatRegister = 0x1F;

} // namespace

QStringList VideoFormatTexts()
{
    return {u"1080p@25"_s, u"1080p@30"_s, u"1080p@50"_s, u"1080p@60"_s,
            u"720p@25"_s,  u"720p@30"_s,  u"720p@50"_s,  u"720p@60"_s};
}

QStringList OfferedVideoFormats(const QString& vedioType)
{
    const QStringList all = VideoFormatTexts();
    if (vedioType.size() != all.size())
        return all;
    QStringList offered;
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (vedioType[i] == u'1')
            offered.append(all[i]);
    }
    return offered;
}

std::optional<VideoFormat> VideoFormatForText(const QString& text)
{
    static const VideoFormat kTableF[] = {{0x00, 1125}, {0x01, 1125}, {0x02, 1125}, {0x03, 1125},
                                          {0x00, 1125}, {0x01, 1125}, {0x10, 750},  {0x11, 750}};
    const qsizetype index = VideoFormatTexts().indexOf(text); // the first equal text wins
    if (index < 0)
        return std::nullopt;
    return kTableF[index];
}

QString VideoFormatTextForCode(int code)
{
    switch (code) {
    case 0x00: return u"1080p@25"_s;
    case 0x01: return u"1080p@30"_s;
    case 0x10: return u"1080p@50"_s;
    case 0x11: return u"1080p@60"_s;
    default: return u"720p@60"_s;
    }
}

std::array<RegisterWrite, 6> VideoFormatWrites(const VideoFormat& format, const ExposureChoice& exposure)
{
    const ExposureLimits limits =
        ExposureLimitsFor(exposure.nShutter, format.Timing(), exposure.dLowerMs, exposure.dUpperMs);
    return {{
        {(limits.nMax >> 8) & 0xFF, 0x0F},
        {limits.nMax & 0xFF, 0x0E},
        {(limits.nMin >> 8) & 0xFF, 0x0D},
        {limits.nMin & 0xFF, 0x0C},
        {format.nCode, kVideoFormatRegister},
        {1, kCommitRegister},
    }};
}
