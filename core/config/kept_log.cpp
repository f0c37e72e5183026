#include "config/kept_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

CKeptLog::CKeptLog(QString path, qint64 rotateAtBytes) : m_strPath(std::move(path)), m_nRotateAt(rotateAtBytes) {}

bool CKeptLog::Append(const QString& text, const QDateTime& when, QString* error) const
{
    const QFileInfo info(m_strPath);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = u"%1: cannot make its folder"_s.arg(m_strPath);
        return false;
    }
    if (info.exists() && info.size() >= m_nRotateAt) {
        const QString older = m_strPath + u".1"_s;
        QFile::remove(older);
        QFile::rename(m_strPath, older); // when this fails the file grows on: the line is not lost
    }
    QFile file(m_strPath);
    QString line = when.toString(u"yyyy-MM-dd hh:mm:ss  "_s) + text;
    if (!line.endsWith(u'\n'))
        line += u'\n';
    const QByteArray bytes = line.toUtf8();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(bytes) != bytes.size()) {
        *error = u"%1: %2"_s.arg(m_strPath, file.errorString());
        return false;
    }
    return true;
}

QString UpgradeLogPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/orvane-config/upgrade.log"_s;
}
