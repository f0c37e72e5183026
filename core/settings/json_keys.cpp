#include "core/settings/json_keys.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QStringList>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Where the string that opens at `quote` ends: the index of its closing quote.
qsizetype StringEnd(const QByteArray& json, qsizetype quote)
{
    qsizetype at = quote + 1;
    while (at < json.size() && json[at] != '"')
        at += json[at] == '\\' ? 2 : 1;
    return at;
}

// The text of a JSON string literal, escapes resolved ("\u0062" is "b").
QString Decoded(const QByteArray& literal)
{
    return QJsonDocument::fromJson('[' + literal + ']').array().at(0).toString();
}

struct Level {
    bool bObject = false;
    bool bExpectKey = false;
    QString strName; // the key this object or array is the value of
    QSet<QString> keys;
};

} // namespace

QString FirstDuplicateKey(const QByteArray& json)
{
    std::vector<Level> levels;
    QString lastKey;
    // An object or array inside an object is named by its key, inside an array by "[]".
    const auto name = [&] { return levels.empty() || levels.back().bObject ? lastKey : u"[]"_s; };
    for (qsizetype at = 0; at < json.size(); ++at) {
        switch (json[at]) {
        case '{': levels.push_back({true, true, name(), {}}); break;
        case '[': levels.push_back({false, false, name(), {}}); break;
        case '}':
        case ']':
            if (!levels.empty())
                levels.pop_back();
            break;
        case ',':
            if (!levels.empty() && levels.back().bObject)
                levels.back().bExpectKey = true;
            break;
        case '"': {
            const qsizetype end = StringEnd(json, at);
            if (!levels.empty() && levels.back().bExpectKey) {
                Level& level = levels.back();
                level.bExpectKey = false;
                lastKey = Decoded(json.mid(at, end - at + 1));
                if (level.keys.contains(lastKey)) {
                    QStringList path;
                    for (const Level& outer : levels)
                        path.append(outer.strName);
                    path.removeFirst(); // the document itself has no name
                    path.append(lastKey);
                    return path.join(u'.');
                }
                level.keys.insert(lastKey);
            }
            at = end;
            break;
        }
        default: break;
        }
    }
    return QString();
}
