#pragma once

#include "session/ports_scan.h"

#include <QStringList>
#include <vector>

// The ports a scan searches: each of `named` (a device, or COMn as
// config.ini maps it), or without any, every port of the machine and every
// COMn config.ini maps. A device named twice, under any of its names, is
// searched once, under the first name.
std::vector<PortToScan> ScanTargets(const QStringList& named);
