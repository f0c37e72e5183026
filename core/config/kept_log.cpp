#include "core/config/kept_log.h"

#include "core/config/append_file.h"
#include "core/config/printable_text.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

// The date, the text with its control characters escaped (a package path
// with a line break in it cannot make a line of its own), one line end.
QByteArray KeptLine(const QString& text, const QDateTime& when)
{
    const QString body = text.endsWith(u'\n') ? text.chopped(1) : text;
    return (when.toString(u"yyyy-MM-dd hh:mm:ss  "_s) + PrintableName(body) + u'\n').toUtf8();
}

} // namespace

CKeptLog::CKeptLog(QString path, qint64 rotateAtBytes) : m_strPath(std::move(path)), m_nRotateAt(rotateAtBytes) {}

bool CKeptLog::Append(const QString& text, const QDateTime& when, QString* error) const
{
    if (!QDir().mkpath(QFileInfo(m_strPath).absolutePath())) {
        *error = u"%1: cannot make its folder"_s.arg(m_strPath);
        return false;
    }
    CAppendFile file(m_strPath);
    QString why;
    bool opened = file.Open(LinkAtPath::Refuse, &why);
    if (opened && file.Size() >= m_nRotateAt) {
        // Then a new file; or this one again, grown on, when it could not be moved.
        file.MoveAsideAndClose(m_strPath + u".1"_s);
        opened = file.Open(LinkAtPath::Refuse, &why);
    }
    if (!opened || !file.Write(KeptLine(text, when), &why) || !file.Close(&why)) {
        *error = u"%1: %2"_s.arg(m_strPath, why);
        return false;
    }
    return true;
}

QString UpgradeLogPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/orvane-config/upgrade.log"_s;
}
