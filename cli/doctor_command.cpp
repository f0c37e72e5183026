// orvane-cli doctor: what stands between this user and each port, and
// whether a camera answers there.
#include "cli/cli_commands.h"
#include "cli/scan_targets.h"
#include "core/config/network_address.h"
#include "core/config/printable_text.h"
#include "core/settings/camera_identity.h"
#include "core/settings/image_settings.h"
#include "provision/camera_link.h"
#include "provision/next_step_english.h"
#include "provision/port_hints.h"
#include "serial/port_access.h"
#include "serial/system_ports.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

struct Finding {
    QString strCheck;  // exists, access, holders, modem_manager, opens, answers
    bool bOk = false;
    QString strDetail; // what was found
    QString strHint;   // what fixes it; empty when nothing needs fixing
};

// The checks of a device on this machine, before it is opened: false when
// there is no device to go on with.
bool CheckDevice(const QString& device, std::vector<Finding>* findings)
{
    if (!QFileInfo::exists(device)) {
        findings->push_back({u"exists"_s, false, u"%1 does not exist"_s.arg(device),
                             u"hint: plug the adapter in ('orvane-cli ports' lists the machine's ports); an adapter "
                             "that never shows up needs its driver, or is a charge-only cable"_s});
        return false;
    }
    findings->push_back({u"exists"_s, true, device, QString()});
    const QString usbId = UsbIdOf(device);
    const AccessFix fix = AccessFixFor(AccessFactsOf(device, usbId));
    findings->push_back({u"access"_s, fix.kind == AccessFix::Kind::None,
                         fix.kind == AccessFix::Kind::None ? u"this user may read and write it"_s
                                                           : u"this user may not read and write it"_s,
                         AccessFixText(fix, device)});
    const PortHolders held = HoldersOf(device);
    QString heldDetail = held.holders.empty() ? u"no other program holds it"_s
                                              : u"held by "_s + HoldersText(held.holders);
    if (held.nUnreadable > 0)
        heldDetail += u" (%1 process(es) of other users not checked)"_s.arg(held.nUnreadable);
    findings->push_back({u"holders"_s, held.holders.empty(), heldDetail, HoldersHint(held, device)});
    const std::optional<qint64> modemManager = ModemManagerPid();
    const bool grabs = modemManager && !usbId.isEmpty();
    findings->push_back(
        {u"modem_manager"_s, !grabs,
         modemManager ? u"ModemManager runs (pid %1)%2"_s.arg(*modemManager).arg(usbId.isEmpty() ? u", but this is "
                                                                                                  "not a USB adapter"_s
                                                                                            : QString())
                      : u"no modem manager runs"_s,
         grabs ? ModemManagerHint(usbId, device) : QString()});
    return true;
}

// Opens the port and reads the camera at the rate given.
void CheckCamera(const PortToScan& port, int baud, std::vector<Finding>* findings)
{
    QStringList told;
    CCameraLink link([&](const QString& line) { told.append(line); });
    QString error;
    if (!link.Open(port.strName, baud, &error)) {
        QString hint = error.section(u'\n', 1);
        if (const std::optional<NextStep> step = link.FailureStep(); hint.isEmpty() && step)
            hint = u"hint: "_s + NextStepInEnglish(*step);
        findings->push_back({u"opens"_s, false, error.section(u'\n', 0, 0), hint});
        return;
    }
    findings->push_back({u"opens"_s, true, u"opens at %1 baud"_s.arg(baud), QString()});
    if (!link.ReadConfiguration(&error)) {
        const QString search = RateSetByServer(port.strDevice)
                                   ? u"hint: the device server sets this port's rate: check it there"_s
                                   : u"hint: a camera at another rate is found by 'orvane-cli scan --port %1'"_s.arg(
                                         port.strName);
        findings->push_back({u"answers"_s, false, u"no camera answered a read at %1 baud: %2"_s.arg(baud).arg(error),
                             search});
        link.Close();
        return;
    }
    const ImageSettings settings = DecodeImageSettings(link.Registers().data());
    findings->push_back({u"answers"_s, true,
                         u"a camera answers: software %1, hardware %2"_s.arg(VersionText(settings.nSoftwareVersion),
                                                                             VersionText(settings.nHardwareVersion)),
                         QString()});
    link.Close();
}

QJsonObject FindingsJson(const PortToScan& port, const std::vector<Finding>& findings)
{
    QJsonArray list;
    for (const Finding& finding : findings) {
        list.append(QJsonObject{{u"check"_s, finding.strCheck},
                                {u"ok"_s, finding.bOk},
                                {u"detail"_s, finding.strDetail},
                                {u"hint"_s, finding.strHint}});
    }
    return {{u"port"_s, port.strName}, {u"device"_s, port.strDevice}, {u"findings"_s, list}};
}

void PrintFindings(const PortToScan& port, const std::vector<Finding>& findings, QTextStream& out)
{
    const QString name = port.strName == port.strDevice ? port.strName : u"%1 (%2)"_s.arg(port.strName, port.strDevice);
    out << PrintableName(name) << u'\n';
    for (const Finding& finding : findings) {
        out << (finding.bOk ? u"  ok    "_s : u"  FAIL  "_s) << finding.strCheck << u": "_s << finding.strDetail
            << u'\n';
        for (const QString& line : finding.strHint.split(u'\n', Qt::SkipEmptyParts))
            out << u"        "_s << line << u'\n';
    }
}

} // namespace

int RunDoctor(const CliOptions& options, CliStreams& io)
{
    const std::vector<PortToScan> ports = ScanTargets(options.ports);
    if (ports.empty()) {
        io.err << u"orvane-cli: no serial port on this machine, and no COMn in config.ini; plug the adapter in"_s
               << Qt::endl;
        return ExitCode::CameraOrPort;
    }
    bool allAnswer = true;
    for (const PortToScan& port : ports) {
        std::vector<Finding> findings;
        if (IsNetworkName(port.strDevice) || CheckDevice(port.strDevice, &findings))
            CheckCamera(port, options.nBaud, &findings);
        // A refused open repeats the access check's fix: told once.
        if (findings.size() >= 2 && findings.back().strCheck == u"opens"_s && !findings.back().bOk
            && std::any_of(findings.begin(), findings.end(),
                           [](const Finding& f) { return f.strCheck == u"access"_s && !f.bOk; }))
            findings.back().strHint.clear();
        allAnswer = allAnswer && !findings.empty() && findings.back().strCheck == u"answers"_s && findings.back().bOk;
        if (options.bJson)
            io.out << QString::fromUtf8(QJsonDocument(FindingsJson(port, findings)).toJson(QJsonDocument::Compact))
                   << u'\n';
        else
            PrintFindings(port, findings, io.out);
        io.out.flush();
        if (CCameraLink::s_bInterrupted)
            return ExitCode::CameraOrPort;
    }
    return allAnswer ? ExitCode::Success : ExitCode::CameraOrPort;
}
