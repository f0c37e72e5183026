#pragma once

#include <QString>

struct PortHolders;

// The command line's words for what keeps a local device from opening and
// how to fix it, one "hint: " line or more each; empty when none applies.

// This user may not open `device`: the device's group and the command that
// joins it, or the udev rule it needs.
QString AccessHints(const QString& device);

// Other programs hold `device`: which, by name and pid, and that those of
// other users could not be checked.
QString HoldersHint(const PortHolders& held, const QString& device);

// ModemManager runs: the udev rule that keeps it away from this adapter.
QString ModemManagerHint(const QString& usbId, const QString& device);

// Another program holds `device`, as the open found: who, and what to do.
QString HeldHints(const QString& device);
