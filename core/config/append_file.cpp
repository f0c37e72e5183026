#include "config/append_file.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

const QString kNotRegular = u"not a regular file"_s;
const QString kLink = u"a symbolic link, not followed"_s;

} // namespace

bool OpenForAppend(QFile& file, LinkAtPath links, QString* error)
{
    // Looked at first for a clear word; the open below holds even when the
    // path changes in between.
    const QFileInfo info(file.fileName());
    if (links == LinkAtPath::Refuse && info.isSymLink()) {
        *error = kLink;
        return false;
    }
    if (info.exists() && !info.isFile()) {
        *error = kNotRegular;
        return false;
    }
#ifdef Q_OS_UNIX
    // O_NONBLOCK: a FIFO that took the place of the file fails the open
    // instead of holding it until a reader comes.
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | (links == LinkAtPath::Refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), flags, 0666);
    if (fd < 0) {
        *error = errno == ELOOP && links == LinkAtPath::Refuse ? kLink : qt_error_string(errno);
        return false;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        *error = kNotRegular;
        return false;
    }
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = file.errorString();
        return false;
    }
    return true;
#else
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = file.errorString();
        return false;
    }
    return true;
#endif
}
