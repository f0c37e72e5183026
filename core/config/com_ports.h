#pragma once

#include <QList>
#include <QString>

// The device behind "COMn": key COMn of section [Ports] in config.ini when
// present, else /dev/ttyS<n-1> (COMn on Windows).
QString ResolvePortName(unsigned nPort);

// What a port's name stands for, wherever a port is named (--port, a ports
// file, the window's list): "COMn" (any case, n from 1 to 999) is what
// ResolvePortName(n) gives, which config.ini may map to a device or to a
// network address; any other name is a device or an address as it stands.
struct NamedPort {
    QString strName;         // as it was given
    QString strDevice;       // what is opened
    unsigned nComNumber = 0; // n of COMn, else 0
};
NamedPort ResolvePort(const QString& name);

// What is wrong with a port's name before anything is opened: a network
// address, given or mapped to a COMn, that does not parse. Empty when
// nothing is.
QString PortNameProblem(const QString& name);

// The device a port's name leads to: a link such as /dev/serial/by-id/...
// is followed, "." and doubled slashes are resolved, and a name that leads
// nowhere comes back cleaned. Two names of one device give the same. The
// OS's own port names (COM7 on Windows) and network addresses
// (rfc2217://HOST:PORT) come back as they are.
QString DeviceBehind(const QString& name);

// What tells two named devices apart: DeviceBehind, and for an address its
// scheme and host in lower case, "localhost" as 127.0.0.1; one server port
// written two ways gives one key.
QString SamePortKey(const QString& device);

// The COMn names the window offers, COM1..COM5: the first entries of its
// port list.
constexpr int kListedComPorts = 5;

// COMn as it is offered: its number, the device it opens, and whether
// config.ini maps it (else it opens the system's default for COMn).
struct ComPort {
    unsigned nNumber = 0;
    QString strDevice;
    bool bMapped = false;
};
// COM1..COM<count>; the window offers kListedComPorts of them.
QList<ComPort> ComPorts(unsigned count = kListedComPorts);
