#pragma once

#include <QString>

// The device behind "COMn": key COMn of section [Ports] in config.ini when
// present, else /dev/ttyS<n-1> (COMn on Windows).
QString ResolvePortName(unsigned nPort);

// The device a port's name leads to: a link such as /dev/serial/by-id/...
// is followed, "." and doubled slashes are resolved, and a name that leads
// nowhere comes back cleaned. Two names of one device give the same. The
// OS's own port names (COM7 on Windows) come back as they are.
QString DeviceBehind(const QString& name);
