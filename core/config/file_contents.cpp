#include "core/config/file_contents.h"

#include <QFile>
#include <filesystem>

using namespace Qt::StringLiterals;

bool RegularFileOrNone(const QString& path, QString* error)
{
    // One look at the path: a file moved aside and made anew by another
    // writer meanwhile must not show as something else. A path that cannot
    // be looked at is left to the open, which says why.
    using std::filesystem::file_type;
    std::error_code unused;
    switch (std::filesystem::status(std::filesystem::path(path.toStdU16String()), unused).type()) {
    case file_type::regular:
    case file_type::not_found:
    case file_type::none: return true;
    default: *error = u"not a regular file"_s; return false;
    }
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
