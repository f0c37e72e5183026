// orvane-cli scan: which port holds a camera, and at which rate.
#include "cli/cli_commands.h"
#include "cli/scan_targets.h"
#include "core/config/network_address.h"
#include "core/config/printable_text.h"
#include "provision/camera_link.h"
#include "session/ports_scan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

// Why a port could not be searched to its end; empty when it was.
QString ErrorText(const PortScanResult& result)
{
    if (result.openError)
        return u"cannot open: "_s + result.openError->strSystemText;
    if (result.bLost)
        return result.strLost.isEmpty() ? u"went away during the scan"_s
                                        : u"went away during the scan (%1)"_s.arg(result.strLost);
    return QString();
}

QJsonObject ResultJson(const PortScanResult& result)
{
    const std::optional<ScanFinding>& found = result.finding;
    const auto orNull = [&](const QJsonValue& value) { return found ? value : QJsonValue(); };
    return {
        {u"port"_s, result.port.strName},
        {u"found"_s, found.has_value()},
        {u"baud"_s, orNull(found ? found->nBaud : 0)},
        {u"hardware"_s, orNull(found ? found->versions.strHardware : QString())},
        {u"software"_s, orNull(found ? found->versions.strSoftware : QString())},
        {u"echo"_s, orNull(found && found->bEcho)},
        {u"unusual"_s, found && !found->unusual.isEmpty() ? QJsonValue(QJsonArray::fromStringList(found->unusual))
                                                          : QJsonValue()},
        {u"error"_s, ErrorText(result).isEmpty() ? QJsonValue() : QJsonValue(ErrorText(result))},
    };
}

QString ResultLine(const PortScanResult& result, int baud)
{
    const QString port = PrintableName(result.port.strName);
    if (const std::optional<ScanFinding>& found = result.finding) {
        const QString unusual = found->unusual.isEmpty()
                                    ? QString()
                                    : u"; unusual for a camera: %1 (it may be another device)"_s.arg(
                                          found->unusual.join(u", "_s));
        // A socket:// port's rate is its server's: the one given here is only what was assumed.
        const QString rate = RateSetByServer(result.port.strDevice)
                                 ? u"the device server's rate (%1 baud given)"_s.arg(found->nBaud)
                                 : u"%1 baud"_s.arg(found->nBaud);
        return u"%1: camera at %2, software %3, hardware %4%5%6"_s.arg(port, rate)
            .arg(found->versions.strSoftware, found->versions.strHardware,
                 found->bEcho ? u", echoing"_s : QString(), unusual);
    }
    if (const QString error = ErrorText(result); !error.isEmpty())
        return port + u": "_s + error;
    if (RateSetByServer(result.port.strDevice))
        return u"%1: nothing answered at %2 baud, the only rate tried: the device server sets the rate of a "
               "socket:// port (choose it with --baud, or use its rfc2217:// port to search every rate)"_s.arg(port)
            .arg(baud);
    if (!result.strRefused.isEmpty())
        return u"%1: nothing answered, and the rates were not the ones asked: %2; check the device server's settings "
               "for its port (it must let the client set the rate), or search its socket:// port at its own rate"_s
            .arg(port, result.strRefused);
    return u"%1: nothing answered at any rate"_s.arg(port);
}

} // namespace

int RunScan(const CliOptions& options, CliStreams& io)
{
    const std::vector<PortToScan> ports = ScanTargets(options.ports);
    if (ports.empty()) {
        io.err << u"orvane-cli: no serial port to scan (orvane-cli ports lists them)"_s << Qt::endl;
        return ExitCode::CameraOrPort;
    }
    int found = 0;
    int searched = 0; // to their end
    CPortsScan scan;
    scan.SetTrace(CCameraLink::EveryLinkTrace());
    bool over = false;
    scan.Start(ports, options.nBaud,
               {[&](const PortScanResult& result) {
                    found += result.finding ? 1 : 0;
                    // Searched to its end on the line: not a port that failed, nor one whose server kept its rate.
                    searched += ErrorText(result).isEmpty() && result.strRefused.isEmpty() ? 1 : 0;
                    if (options.bJson)
                        io.out << QString::fromUtf8(QJsonDocument(ResultJson(result)).toJson(QJsonDocument::Compact))
                               << u'\n' << Qt::flush;
                    else
                        io.out << ResultLine(result, options.nBaud) << u'\n' << Qt::flush;
                },
                {},
                [&] { over = true; }});
    if (!CCameraLink::WaitUntil([&] { return over; }, -1)) {
        scan.Stop(); // nothing more goes out on any port
        io.err << u"orvane-cli: scan interrupted; %1 of %2 port(s) were done"_s.arg(scan.Results().size()).arg(ports.size())
               << Qt::endl;
        return ExitCode::CameraOrPort;
    }
    if (!options.bJson && found == 0 && searched > 0)
        io.out << u"no camera answered; check the wiring (A and B may be swapped), the camera's power, the line's "
                  "termination and the adapter"_s
               << Qt::endl;
    return found > 0 ? ExitCode::Success : ExitCode::CameraOrPort;
}
