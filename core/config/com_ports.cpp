#include "core/config/com_ports.h"

#include "core/config/ini_file.h"
#include "core/config/network_address.h"
#include "core/config/program_dir.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

QString MappedDevice(unsigned nPort)
{
    return ReadIniString(ConfigIniPath(), u"Ports"_s, u"COM%1"_s.arg(nPort), QString(), 260);
}

// What COMn opens when config.ini does not map it.
QString DefaultDevice(unsigned nPort)
{
#ifdef Q_OS_WIN
    return u"COM%1"_s.arg(nPort);
#else
    return u"/dev/ttyS%1"_s.arg(nPort == 0 ? 0 : nPort - 1);
#endif
}

} // namespace

QString ResolvePortName(unsigned nPort)
{
    const QString mapped = MappedDevice(nPort);
    return mapped.isEmpty() ? DefaultDevice(nPort) : mapped;
}

NamedPort ResolvePort(const QString& name)
{
    static const QRegularExpression comName(u"^COM([1-9][0-9]{0,2})$"_s, QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch com = comName.match(name);
    if (!com.hasMatch())
        return {name, name, 0};
    const unsigned number = com.captured(1).toUInt();
    return {name, ResolvePortName(number), number};
}

QString PortNameProblem(const QString& name)
{
    const NamedPort port = ResolvePort(name);
    QString error;
    if (!IsNetworkName(port.strDevice) || ParseNetworkAddress(port.strDevice, &error))
        return QString();
    if (port.nComNumber > 0)
        return u"%1 is mapped in config.ini's [Ports] section to %2: %3"_s.arg(name, port.strDevice, error);
    return u"%1: %2"_s.arg(name, error);
}

QString DeviceBehind(const QString& name)
{
    if (IsNetworkName(name))
        return name; // an address, not a path
#ifdef Q_OS_UNIX
    const QFileInfo info(name);
    const QString target = info.canonicalFilePath();
    return target.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : target;
#else
    return name;
#endif
}

QString SamePortKey(const QString& device)
{
    QString unused;
    const std::optional<NetworkAddress> address = ParseNetworkAddress(device, &unused);
    if (!address)
        return DeviceBehind(device);
    QString host = address->strHost.toLower();
    if (host == u"localhost"_s)
        host = u"127.0.0.1"_s;
    else if (host.contains(u':'))
        host = u'[' + host + u']';
    return u"%1://%2:%3"_s.arg(address->kind == NetworkAddress::Kind::Rfc2217 ? u"rfc2217"_s : u"socket"_s, host)
        .arg(address->nPort);
}

QList<ComPort> ComPorts(unsigned count)
{
    QList<ComPort> ports;
    for (unsigned number = 1; number <= count; ++number) {
        const QString mapped = MappedDevice(number); // config.ini read once for each
        ports.append({number, mapped.isEmpty() ? DefaultDevice(number) : mapped, !mapped.isEmpty()});
    }
    return ports;
}
