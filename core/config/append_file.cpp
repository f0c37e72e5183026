#include "core/config/append_file.h"

#include "core/config/file_contents.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

const QString kNotRegular = u"not a regular file"_s;
const QString kLink = u"a symbolic link, not followed"_s;

} // namespace

CAppendFile::CAppendFile(QString path) : m_strPath(std::move(path))
#ifndef Q_OS_UNIX
    , m_file(m_strPath)
#endif
{
}

CAppendFile::~CAppendFile()
{
    QString ignored;
    Close(&ignored);
}

bool CAppendFile::Open(LinkAtPath links, QString* error)
{
    // Looked at first for a clear word; the open below holds even when the
    // path changes in between.
    const QFileInfo info(m_strPath);
    if (links == LinkAtPath::Refuse && info.isSymLink()) {
        *error = kLink;
        return false;
    }
    if (!RegularFileOrNone(m_strPath, error))
        return false;
#ifdef Q_OS_UNIX
    // O_NONBLOCK: a FIFO that took the file's place fails the open instead
    // of holding it until a reader comes.
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | (links == LinkAtPath::Refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(QFile::encodeName(m_strPath).constData(), flags, 0666);
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
    m_fd = fd;
    return true;
#else
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = m_file.errorString();
        return false;
    }
    return true;
#endif
}

#ifdef Q_OS_UNIX

bool CAppendFile::IsOpen() const
{
    return m_fd >= 0;
}

qint64 CAppendFile::Size() const
{
    struct stat opened {};
    return ::fstat(m_fd, &opened) == 0 ? qint64(opened.st_size) : -1;
}

bool CAppendFile::Write(const QByteArray& bytes, QString* error)
{
    // Under the lock every writer of the file takes, so that a write cut
    // short (a full disk) can be taken back whole: the next writer's bytes
    // must not be glued to half of these.
    while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    const off_t start = ::lseek(m_fd, 0, SEEK_END);
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + written, std::size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) { // a short write goes on, and the next one says why
            *error = qt_error_string(n < 0 ? errno : EIO);
            if (written > 0 && start >= 0 && ::ftruncate(m_fd, start) != 0)
                *error += u"; the part written stays at the end of the file"_s;
            break;
        }
        written += n;
    }
    ::flock(m_fd, LOCK_UN);
    return written == bytes.size();
}

bool CAppendFile::Close(QString* error)
{
    if (m_fd < 0)
        return true;
    const int result = ::close(std::exchange(m_fd, -1));
    if (result != 0)
        *error = qt_error_string(errno);
    return result == 0;
}

void CAppendFile::MoveAsideAndClose(const QString& newPath)
{
    const QByteArray name = QFile::encodeName(m_strPath);
    struct stat opened {};
    struct stat named {};
    if (::flock(m_fd, LOCK_EX) == 0 && ::fstat(m_fd, &opened) == 0 && ::lstat(name.constData(), &named) == 0
        && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
        ::rename(name.constData(), QFile::encodeName(newPath).constData());
    QString ignored;
    Close(&ignored); // releases the lock
}

#else

bool CAppendFile::IsOpen() const
{
    return m_file.isOpen();
}

qint64 CAppendFile::Size() const
{
    return m_file.size();
}

bool CAppendFile::Write(const QByteArray& bytes, QString* error)
{
    const qint64 start = m_file.size();
    if (m_file.write(bytes) != bytes.size() || !m_file.flush()) {
        *error = m_file.errorString();
        m_file.resize(start); // a write cut short is taken back
        return false;
    }
    return true;
}

bool CAppendFile::Close(QString* error)
{
    if (!m_file.isOpen())
        return true;
    m_file.close();
    if (m_file.error() != QFileDevice::NoError) {
        *error = m_file.errorString();
        return false;
    }
    return true;
}

void CAppendFile::MoveAsideAndClose(const QString& newPath)
{
    m_file.close(); // an open file is not renamed here
    QFile::remove(newPath);
    QFile::rename(m_strPath, newPath);
}

#endif
