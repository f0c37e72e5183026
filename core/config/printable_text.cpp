#include "core/config/printable_text.h"

using namespace Qt::StringLiterals;

QString PrintableName(const QString& name)
{
    QString shown;
    for (const QChar ch : name) {
        if (ch.category() == QChar::Other_Control || ch.category() == QChar::Other_Format)
            shown += u"\\x%1"_s.arg(ch.unicode(), 2, 16, QChar(u'0'));
        else
            shown += ch;
    }
    return shown;
}
