#include "core/config/ini_file.h"

#include <QFile>
#include <optional>

namespace {

std::optional<QString> FindValue(const QString& path, const QString& section, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;

    bool inSection = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            // Only the first section of that name counts.
            if (inSection)
                return std::nullopt;
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed();
    }
    return std::nullopt;
}

QString Unquote(const QString& value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

} // namespace

int ReadIniInt(const QString& path, const QString& section, const QString& key, int nDefault)
{
    const std::optional<QString> value = FindValue(path, section, key);
    if (!value)
        return nDefault;

    const QString text = Unquote(*value);
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 number = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
        number = qMin<qint64>(number * 10 + (text[i].unicode() - u'0'), 0x7FFFFFFF);
    }
    return static_cast<int>(negative ? -number : number);
}

QString ReadIniString(const QString& path, const QString& section, const QString& key,
                      const QString& strDefault, int nSize)
{
    const std::optional<QString> value = FindValue(path, section, key);
    const QString text = value ? Unquote(*value) : strDefault;
    return nSize <= 0 ? QString() : text.left(nSize - 1);
}
