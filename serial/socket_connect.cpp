#include "serial/socket_connect.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

#ifdef Q_OS_UNIX

namespace {

constexpr int kSliceMs = 100;

QString TimeoutText(int timeoutMs)
{
    return u"no connection within %1 s"_s.arg(timeoutMs / 1000);
}

} // namespace

qintptr ConnectWithin(const QString& host, quint16 port, int timeoutMs, const std::function<bool()>& interrupted,
                      QString* error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int looked = ::getaddrinfo(host.toUtf8().constData(), QByteArray::number(port).constData(), &hints, &found);
    if (looked != 0) {
        *error = looked == EAI_NONAME ? u"Host not found"_s : QString::fromLocal8Bit(::gai_strerror(looked));
        return -1;
    }
    QElapsedTimer waited;
    waited.start();
    int connected = -1;
    for (const addrinfo* address = found; address && connected < 0; address = address->ai_next) {
        const int fd = ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                address->ai_protocol);
        if (fd < 0) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
            continue;
        }
        int outcome = ::connect(fd, address->ai_addr, address->ai_addrlen) == 0 ? 0 : errno;
        while (outcome == EINPROGRESS) {
            const qint64 left = timeoutMs - waited.elapsed();
            if (left <= 0 || interrupted()) {
                outcome = left <= 0 ? ETIMEDOUT : EINTR;
                break;
            }
            pollfd writable{fd, POLLOUT, 0};
            if (::poll(&writable, 1, int(std::min<qint64>(left, kSliceMs))) > 0) {
                socklen_t length = sizeof outcome;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &outcome, &length);
            }
        }
        if (outcome == 0) {
            connected = fd;
            break;
        }
        ::close(fd);
        *error = outcome == ETIMEDOUT ? TimeoutText(timeoutMs)
                 : outcome == EINTR   ? u"interrupted"_s
                                      : QString::fromLocal8Bit(std::strerror(outcome));
        if (outcome == ETIMEDOUT || outcome == EINTR)
            break;
    }
    ::freeaddrinfo(found);
    return connected;
}

#else

qintptr ConnectWithin(const QString& host, quint16 port, int timeoutMs, const std::function<bool()>& interrupted,
                      QString* error)
{
    Q_UNUSED(host);
    Q_UNUSED(port);
    Q_UNUSED(timeoutMs);
    Q_UNUSED(interrupted);
    *error = u"device servers are reached on POSIX systems only so far"_s;
    return -1;
}

#endif
