#include "serial/device_os.h"

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

using namespace Qt::StringLiterals;

void RequestLowLatency(qintptr handle)
{
#ifdef Q_OS_LINUX
    const int fd = static_cast<int>(handle);
    serial_struct serial {};
    if (fd < 0 || ::ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY))
        return;
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &serial);
#else
    Q_UNUSED(handle);
#endif
}

QString DeviceErrorText(qintptr handle, const QString& reported)
{
#ifdef Q_OS_UNIX
    // A terminal whose far end has gone reads 0 bytes without an error code,
    // which Qt reports as "Unknown error"; asking for its settings tells why.
    termios settings {};
    if (handle >= 0 && ::tcgetattr(static_cast<int>(handle), &settings) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
#else
    Q_UNUSED(handle);
#endif
    return reported.isEmpty() ? u"Unknown error"_s : reported;
}

void AcknowledgeAtOnce(qintptr socket)
{
#ifdef Q_OS_LINUX
    const int on = 1;
    if (socket >= 0)
        ::setsockopt(static_cast<int>(socket), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#else
    Q_UNUSED(socket);
#endif
}

int PendingOutputBytes(qintptr handle)
{
#ifdef Q_OS_UNIX
    int pending = 0;
    if (handle >= 0 && ::ioctl(static_cast<int>(handle), TIOCOUTQ, &pending) == 0)
        return pending;
#else
    Q_UNUSED(handle);
#endif
    return 0;
}

bool AccessDenied(const QString& path)
{
#ifdef Q_OS_UNIX
    const QByteArray name = path.toLocal8Bit();
    return ::access(name.constData(), F_OK) == 0 && ::access(name.constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(path);
    return false;
#endif
}

QString DeviceBusyText()
{
    return QString::fromLocal8Bit(std::strerror(EBUSY));
}
