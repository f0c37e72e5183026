#include "serial/socket_connect.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

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

// A name looked up on a thread of its own, which nobody waits for: the
// system's lookup cannot be interrupted, and a name server that does not
// answer holds it for seconds. Whoever gives up leaves it to end alone.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool bDone = false;
    int nResult = EAI_AGAIN;
    addrinfo* found = nullptr;
    ~Lookup()
    {
        if (found)
            ::freeaddrinfo(found);
    }
};

// The addresses of host:port, or null with *error; waits in slices, so that
// `interrupted` and the time left end it.
std::shared_ptr<Lookup> LookUp(const QString& host, quint16 port, const QElapsedTimer& waited, int timeoutMs,
                               const std::function<bool()>& interrupted, QString* error)
{
    auto lookup = std::make_shared<Lookup>();
    const auto run = [lookup, name = host.toUtf8(), service = QByteArray::number(port)](int flags) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = flags;
        addrinfo* found = nullptr;
        const int result = ::getaddrinfo(name.constData(), service.constData(), &hints, &found);
        std::lock_guard lock(lookup->mutex);
        lookup->nResult = result;
        lookup->found = found;
        lookup->bDone = true;
        lookup->done.notify_all();
    };
    run(AI_NUMERICHOST); // an address needs no name server
    if (lookup->nResult != 0) {
        lookup->bDone = false;
        std::thread(run, 0).detach();
        std::unique_lock lock(lookup->mutex);
        while (!lookup->bDone) {
            const qint64 left = timeoutMs - waited.elapsed();
            if (left <= 0 || interrupted()) {
                *error = left <= 0 ? u"the name %1 was not looked up within %2 s"_s.arg(host).arg(timeoutMs / 1000)
                                   : u"interrupted"_s;
                return nullptr;
            }
            lookup->done.wait_for(lock, std::chrono::milliseconds(std::min<qint64>(left, kSliceMs)));
        }
    }
    if (lookup->nResult != 0) {
        *error = lookup->nResult == EAI_NONAME ? u"Host not found"_s : QString::fromLocal8Bit(::gai_strerror(lookup->nResult));
        return nullptr;
    }
    return lookup;
}

} // namespace

qintptr ConnectWithin(const QString& host, quint16 port, int timeoutMs, const std::function<bool()>& interrupted,
                      QString* error)
{
    QElapsedTimer waited;
    waited.start();
    const std::shared_ptr<Lookup> lookup = LookUp(host, port, waited, timeoutMs, interrupted, error);
    if (!lookup)
        return -1;
    addrinfo* found = lookup->found;
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
