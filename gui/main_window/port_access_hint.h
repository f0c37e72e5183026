#pragma once

#include "serial/line.h"

#include <QString>

// The window's words for why a local device did not open and how to fix
// it: the device's group and the command that joins it, the udev rule it
// needs, or the programs that hold it. Empty when there is nothing to add.
QString PortAccessHint(const PortOpenError& error);
