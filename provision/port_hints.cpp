#include "provision/port_hints.h"

#include "serial/port_access.h"
#include "serial/system_ports.h"

using namespace Qt::StringLiterals;

QString AccessHints(const QString& device)
{
    return AccessFixText(AccessFixFor(AccessFactsOf(device, UsbIdOf(device))), device);
}

QString HoldersHint(const PortHolders& held, const QString& device)
{
    QStringList lines;
    if (!held.holders.empty())
        lines.append(u"hint: %1 is held by %2: close it there (a terminal program, another orvane-cli or window), "
                     "then retry"_s.arg(device, HoldersText(held.holders)));
    if (held.nUnreadable > 0)
        lines.append(u"hint: the open files of %1 process(es) of other users could not be read; 'sudo fuser -v %2' "
                     "names every program that holds it"_s.arg(held.nUnreadable).arg(device));
    return lines.join(u'\n');
}

QString ModemManagerHint(const QString& usbId, const QString& device)
{
    return u"hint: ModemManager probes a newly plugged USB serial adapter and holds it for about ten seconds; to "
           "keep it away from this one, put this line in %1 and run 'sudo udevadm control --reload-rules && sudo "
           "udevadm trigger':\nhint:   %2"_s.arg(QStringView(kUdevRulesFile).toString(),
                                                 UdevRuleLine(usbId, device, QString(),
                                                              QStringView(kModemManagerIgnore).toString()));
}

QString HeldHints(const QString& device)
{
    QString hints = HoldersHint(HoldersOf(device), device);
    if (ModemManagerPid()) {
        const QString usbId = UsbIdOf(device);
        if (!usbId.isEmpty())
            hints += (hints.isEmpty() ? QString() : u"\n"_s) + ModemManagerHint(usbId, device);
    }
    return hints;
}
