#pragma once

#include "core/config/com_ports.h"
#include "serial/system_ports.h"

#include <QString>
#include <QStringList>
#include <functional>

class QComboBox;

// The port list 1007: COM1..COM5 first, then the machine's ports no COMn
// opens, each with the device in its data and tooltip.
void FillPortList(QComboBox* list, const QList<SystemPort>& extra, const QString& keepDevice);
// The device of an entry past COM5, empty for COMn.
QString DeviceOfEntry(const QComboBox* list, int index);
// Every entry's DeviceOfEntry(), in the list's order.
QStringList DevicesOfEntries(const QComboBox* list);
// Runs `refresh` each time the user is about to open the list (a click,
// F4, Alt+Down or Space), so that a newly plugged adapter is offered.
void RefreshBeforeOpening(QComboBox* list, std::function<void()> refresh);

// The port chosen last, per user: "COMn" or a device path; empty at first.
QString RememberedPort();
void RememberPort(const QString& port);
// The device servers' ports the user added to the list, per user, in the order added.
QStringList RememberedNetworkPorts();
void RememberNetworkPort(const QString& address);
// The rate a camera last answered at on a port, per user: 0 when none has.
int RememberedRate(const QString& port);
void RememberRate(const QString& port, int baud);
