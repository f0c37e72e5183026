#include "cli/provision_ports.h"

#include "core/config/com_ports.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kPortsFileMax = 64 * 1024;

} // namespace

QStringList PortsOfFile(const QByteArray& file)
{
    QString text = QString::fromUtf8(file);
    if (text.startsWith(u'\uFEFF'))
        text.remove(0, 1);
    QStringList ports;
    for (const QString& line : text.split(u'\n')) {
        const QString port = line.section(u'#', 0, 0).trimmed(); // trimmed takes a CR too
        if (!port.isEmpty())
            ports.append(port);
    }
    return ports;
}

QStringList PortsToProvision(const CliOptions& options, CliStreams& io)
{
    QStringList ports = options.ports;
    if (!options.strPortsFile.isEmpty()) {
        QByteArray file;
        if (!ReadInputFile(options.strPortsFile, kPortsFileMax, &file, io))
            return {};
        ports += PortsOfFile(file);
    }
    QHash<QString, QString> nameOfDevice; // what each device was first named
    for (const QString& port : ports) {
        const QString device = ResolvePort(port).strDevice;
        if (const QString problem = PortNameProblem(port); !problem.isEmpty()) {
            io.err << u"orvane-cli: "_s << problem << Qt::endl;
            return {};
        }
        if (device.isEmpty()) {
            io.err << u"orvane-cli: %1 is not mapped in config.ini's [Ports] section"_s.arg(port) << Qt::endl;
            return {};
        }
        const QString identity = SamePortKey(device);
        if (const auto earlier = nameOfDevice.constFind(identity); earlier != nameOfDevice.cend()) {
            io.err << u"orvane-cli: %1 and %2 are the same device (%3), given twice; name each camera once"_s.arg(
                          *earlier, port, identity)
                   << Qt::endl;
            return {};
        }
        nameOfDevice.insert(identity, port);
    }
    if (ports.isEmpty())
        io.err << u"orvane-cli: %1 names no port"_s.arg(options.strPortsFile) << Qt::endl;
    return ports;
}
