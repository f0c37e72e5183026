#include "serial/system_ports.h"

#include "core/config/com_ports.h"

#include <QSerialPortInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

PortSource& Source()
{
    static PortSource source;
    return source;
}

} // namespace

QList<SystemPort> SystemPorts()
{
    if (Source())
        return Source()();
    QList<SystemPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString usb = info.hasVendorIdentifier() && info.hasProductIdentifier()
                                ? u"%1:%2"_s.arg(info.vendorIdentifier(), 4, 16, QChar(u'0'))
                                      .arg(info.productIdentifier(), 4, 16, QChar(u'0'))
                                : QString();
        ports.append({info.portName(), info.systemLocation(), info.description(), info.serialNumber(), usb});
    }
    return ports;
}

PortSource SetPortSource(PortSource source)
{
    return std::exchange(Source(), std::move(source));
}

QList<SystemPort> ExtraPorts(const QList<SystemPort>& ports)
{
    QStringList taken;
    for (const ComPort& com : ComPorts())
        taken.append(DeviceBehind(com.strDevice));
    QList<SystemPort> extra;
    for (const SystemPort& port : ports) {
        if (!taken.contains(DeviceBehind(port.strLocation)))
            extra.append(port);
    }
    return extra;
}

const SystemPort* PortOfDevice(const QList<SystemPort>& ports, const QString& device)
{
    const QString wanted = DeviceBehind(device);
    const auto found = std::find_if(ports.begin(), ports.end(),
                                    [&](const SystemPort& port) { return DeviceBehind(port.strLocation) == wanted; });
    return found == ports.end() ? nullptr : &*found;
}

QString UsbIdOf(const QString& device)
{
    const QList<SystemPort> ports = SystemPorts();
    const SystemPort* port = PortOfDevice(ports, device);
    return port ? port->strUsbId : QString();
}

QString SerialNumberOf(const QList<SystemPort>& ports, const QString& device)
{
    const SystemPort* port = PortOfDevice(ports, device);
    return port ? port->strSerialNumber : QString();
}

QString LocationOfSerialNumber(const QList<SystemPort>& ports, const QString& serialNumber)
{
    for (const SystemPort& port : ports) {
        if (!serialNumber.isEmpty() && port.strSerialNumber == serialNumber)
            return port.strLocation;
    }
    return QString();
}

QString PortLabel(const SystemPort& port)
{
    return port.strDescription.isEmpty() ? port.strName : u"%1 — %2"_s.arg(port.strName, port.strDescription);
}
