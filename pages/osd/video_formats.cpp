#include "pages/osd/video_formats.h"

using namespace Qt::StringLiterals;

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
