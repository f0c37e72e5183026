#include "cli/scan_targets.h"

#include "core/config/com_ports.h"
#include "provision/camera_link.h"
#include "serial/system_ports.h"

using namespace Qt::StringLiterals;

std::vector<PortToScan> ScanTargets(const QStringList& named)
{
    std::vector<PortToScan> targets;
    const auto add = [&](const QString& name, const QString& device, unsigned number) {
        targets.push_back({name, device, number});
    };
    if (!named.isEmpty()) {
        for (const QString& name : named) {
            const NamedPort port = ResolvePort(name);
            add(port.strName, port.strDevice, port.nComNumber);
        }
        return targets;
    }
    for (const ComPort& com : ComPorts(CCameraLink::kMappedComPorts)) {
        if (com.bMapped)
            add(u"COM%1"_s.arg(com.nNumber), com.strDevice, com.nNumber);
    }
    for (const SystemPort& port : SystemPorts())
        add(port.strLocation, port.strLocation, 0);
    return targets;
}
