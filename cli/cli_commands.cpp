#include "cli/cli_commands.h"

#include "core/config/file_contents.h"
#include "core/config/ini_file.h"
#include "core/config/network_address.h"
#include "core/config/program_dir.h"
#include "core/firmware/version_check.h"
#include "core/protocol/link_protocol.h"
#include "core/protocol/register_map.h"
#include "core/settings/settings_file.h"
#include "provision/camera_link.h"
#include "provision/next_step_english.h"
#include "provision/settings_apply.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include "core/config/com_ports.h"
#include "serial/system_ports.h"

using namespace Qt::StringLiterals;

std::function<void(const QString&)> ErrorLines(CliStreams& io)
{
    return [&io](const QString& line) { io.err << u"orvane-cli: "_s << line << Qt::endl; };
}

bool OpenAndRead(CCameraLink& link, const CliOptions& options, CliStreams& io)
{
    QString error;
    if (!link.Open(options.strPort, options.nBaud, &error) || !link.ReadConfiguration(&error)) {
        TellLinkFailure(link, error, io);
        return false;
    }
    if (link.Line().LineEchoes())
        io.err << u"orvane-cli: note: %1 returns every byte sent to it (local echo, as two-wire RS-485 adapters do); "
                  "the echo is taken out of what the camera answers"_s.arg(link.PortName())
               << Qt::endl;
    return true;
}

void TellLinkFailure(const CCameraLink& link, const QString& error, CliStreams& io)
{
    io.err << u"orvane-cli: "_s << error << Qt::endl;
    if (const std::optional<NextStep> step = link.FailureStep())
        TellNextStep(io.err, *step);
}

bool ReadInputFile(const QString& path, qint64 maxBytes, QByteArray* bytes, CliStreams& io)
{
    QString error;
    if (!ReadRegularFile(path, maxBytes, bytes, &error)) {
        io.err << u"orvane-cli: cannot read %1: %2"_s.arg(path, error) << Qt::endl;
        return false;
    }
    if (bytes->isEmpty()) {
        io.err << u"orvane-cli: %1 is empty"_s.arg(path) << Qt::endl;
        return false;
    }
    return true;
}

namespace {

void PrintSettings(const QJsonObject& json, CliStreams& io)
{
    const QJsonObject camera = json[u"camera"].toObject();
    for (auto it = camera.begin(); it != camera.end(); ++it)
        io.out << qSetFieldWidth(24) << Qt::left << it.key() << qSetFieldWidth(0) << it.value().toString() << u'\n';
    for (auto it = json.begin(); it != json.end(); ++it) {
        if (it.key() == u"format" || it.key() == u"camera")
            continue;
        io.out << qSetFieldWidth(24) << Qt::left << it.key() << qSetFieldWidth(0) << SettingValueText(it.value())
               << u'\n';
    }
    io.out.flush();
}

} // namespace

int RunPorts(CliStreams& io)
{
    // The window's enumeration and COMn mapping.
    const QList<SystemPort> ports = SystemPorts();
    io.out << (ports.isEmpty() ? u"no serial ports found\n"_s : u"serial ports:\n"_s);
    for (const SystemPort& port : ports) {
        const QString usb = port.strUsbId.isEmpty() ? QString() : u"  USB "_s + port.strUsbId;
        io.out << u"  "_s << port.strLocation << u"  "_s << port.strDescription << usb << u'\n';
    }
    io.out << u"COMn in %1:\n"_s.arg(ConfigIniPath());
    bool any = false;
    for (const ComPort& com : ComPorts(CCameraLink::kMappedComPorts)) {
        if (com.bMapped) {
            // A device that is not there (an adapter unplugged, a name mistyped) is flagged.
            const bool listed = std::any_of(ports.begin(), ports.end(), [&](const SystemPort& port) {
                return port.strName == com.strDevice || port.strLocation == com.strDevice;
            });
            // A device server's port is not looked for; one whose address does not parse is flagged.
            QString error;
            const QString note = IsNetworkName(com.strDevice)
                                     ? (ParseNetworkAddress(com.strDevice, &error) ? u" (device server)"_s
                                                                                   : u" (bad address: %1)"_s.arg(error))
                                 : listed || QFileInfo::exists(com.strDevice) ? QString()
                                                                              : u" (missing)"_s;
            io.out << u"  COM%1 = %2%3\n"_s.arg(com.nNumber).arg(com.strDevice, note);
            any = true;
        }
    }
    if (!any)
        io.out << u"  (none mapped)\n"_s;
    io.out.flush();
    return ExitCode::Success;
}

int RunRead(const CliOptions& options, CliStreams& io)
{
    CCameraLink link(ErrorLines(io));
    if (!OpenAndRead(link, options, io))
        return ExitCode::CameraOrPort;
    const QJsonObject json = SettingsToJson(SettingsOfCamera(link));
    if (options.bJson)
        io.out << QString::fromUtf8(QJsonDocument(json).toJson()) << Qt::flush;
    else
        PrintSettings(json, io);
    return ExitCode::Success;
}

namespace {

// After the restart trigger went out: the camera is silent while it boots.
// The port stays open through the boot pause, as an upgrade run's does, so
// that no other program takes it; then the camera is read until it answers.
// A port that went away in the pause and came back may hold another camera:
// its answer is no word on this one. False after saying why.
bool AwaitCameraBack(CCameraLink& link, const CliOptions& options, CliStreams& io)
{
    QElapsedTimer sinceRestart;
    sinceRestart.start();
    const auto interrupted = [] { return CCameraLink::s_nInterrupts > 0; };
    CCameraLink::WaitUntil(interrupted, CUpgradeRun::kBootPauseMs);
    QString error;
    if (!interrupted() && link.DeviceLost()) {
        link.Close();
        if (!link.Open(options.strPort, options.nBaud, &error)) {
            TellLinkFailure(link, u"the camera's port went away during its restart and did not open again: "_s + error,
                            io);
            return false;
        }
        io.err << u"orvane-cli: %1 went away during the camera's restart and came back: the camera on it may be "
                  "another one; read it to see which"_s.arg(link.PortName())
               << Qt::endl;
        return false;
    }
    while (!interrupted()) {
        if (link.ReadConfiguration(&error)) {
            const FirmwareVersions now = VersionsOfCamera(link.Registers().data());
            io.out << u"the camera on %1 answers again %2 s after its restart: software %3, hardware %4\n"_s
                          .arg(link.PortName())
                          .arg(double(sinceRestart.elapsed()) / 1000.0, 0, 'f', 1)
                          .arg(now.strSoftware, now.strHardware)
                   << Qt::flush;
            return true;
        }
        if (link.DeviceLost() || interrupted())
            break;
        if (sinceRestart.hasExpired(CUpgradeRun::kComeBackMs)) {
            error = u"the camera was not back %1 s after its restart: %2"_s.arg(CUpgradeRun::kComeBackMs / 1000).arg(error);
            break;
        }
    }
    if (interrupted()) {
        io.err << u"orvane-cli: interrupted while waiting for the camera on %1 after its restart; it may still be "
                  "starting: read it again in a few seconds"_s.arg(link.PortName())
               << Qt::endl;
        return false;
    }
    TellLinkFailure(link, error, io);
    return false;
}

} // namespace

int RunRestart(const CliOptions& options, CliStreams& io)
{
    CCameraLink link(ErrorLines(io));
    QString error;
    if (!link.Open(options.strPort, options.nBaud, &error)) {
        TellLinkFailure(link, error, io);
        return ExitCode::CameraOrPort;
    }
    link.Write({0, kRestartRegister});
    link.Write({1, kRestartRegister});
    link.Drain(); // the trigger is out
    if (options.bNoWait)
        link.Close();
    if (link.DeviceLost()) {
        io.err << u"orvane-cli: "_s << link.LossText() << Qt::endl;
        TellNextStep(io.err, link.LostLineStep());
        return ExitCode::CameraOrPort;
    }
    if (options.bNoWait) {
        io.out << u"restart sent to the camera on %1\n"_s.arg(link.PortName()) << Qt::flush;
        return ExitCode::Success;
    }
    io.out << u"restarting the camera on %1; waiting up to %2 s for it to answer again\n"_s.arg(link.PortName())
                  .arg(CUpgradeRun::kComeBackMs / 1000)
           << Qt::flush;
    return AwaitCameraBack(link, options, io) ? ExitCode::Success : ExitCode::CameraOrPort;
}
