#include "core/config/file_contents.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

bool RegularFileOrNone(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = u"not a regular file"_s;
        return false;
    }
    return true;
}

bool ReadRegularFile(const QString& path, qint64 maxBytes, QByteArray* bytes, QString* error)
{
    if (!RegularFileOrNone(path, error))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    // One byte more than the limit, or than the file holds, tells a file that is or grew too large.
    QByteArray read = file.read(std::min(maxBytes, file.size()) + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    if (read.size() > maxBytes) {
        *error = u"larger than %1 bytes, more than this file may be"_s.arg(maxBytes);
        return false;
    }
    *bytes = std::move(read);
    return true;
}
