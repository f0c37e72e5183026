#pragma once

#include <QString>

// The device behind "COMn": key COMn of section [Ports] in config.ini when
// present, else /dev/ttyS<n-1> (COMn on Windows).
QString ResolvePortName(unsigned nPort);
