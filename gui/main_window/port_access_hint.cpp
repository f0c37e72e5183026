#include "gui/main_window/port_access_hint.h"

#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "serial/port_access.h"
#include "serial/system_ports.h"

using namespace Qt::StringLiterals;

namespace {

QString AccessHint(const QString& device)
{
    const AccessFix fix = AccessFixFor(AccessFactsOf(device, UsbIdOf(device)));
    switch (fix.kind) {
    case AccessFix::Kind::None: return QString();
    case AccessFix::Kind::JoinGroup: return LoadString(Ids::DialoutHint).arg(device, fix.strGroup, fix.strUser);
    case AccessFix::Kind::LogInAgain: return LoadString(Ids::LogInAgainHint).arg(fix.strGroup, fix.strUser);
    case AccessFix::Kind::UdevRule:
        return LoadString(Ids::UdevRuleHint)
            .arg(device, QStringView(kUdevRulesFile).toString(), fix.strRule, fix.strGroup, fix.strUser);
    case AccessFix::Kind::OtherSession: return LoadString(Ids::OtherSessionHint).arg(device);
    }
    return QString();
}

QString HeldHint(const QString& device)
{
    const PortHolders found = HoldersOf(device);
    QStringList lines;
    if (!found.holders.empty())
        lines.append(LoadString(Ids::HeldByHint).arg(HoldersText(found.holders)));
    if (found.nUnreadable > 0)
        lines.append(LoadString(Ids::HoldersUnreadable).arg(found.nUnreadable).arg(device));
    return lines.join(u'\n');
}

} // namespace

QString PortAccessHint(const PortOpenError& error)
{
    return error.bAccessDenied ? AccessHint(error.strDevice) : error.bHeld ? HeldHint(error.strDevice) : QString();
}
