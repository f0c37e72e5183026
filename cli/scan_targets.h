#pragma once

#include "session/ports_scan.h"

#include <QStringList>
#include <vector>

// The ports a scan searches: each of `named` (a device, or COMn as
// config.ini maps it), or without any, every COMn config.ini maps and every
// port of the machine. A device listed twice is searched once (CPortsScan).
std::vector<PortToScan> ScanTargets(const QStringList& named);
