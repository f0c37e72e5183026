#pragma once

#include <QString>

// The directory of the executable, computed on first use and kept for the
// process. config.ini, the language library and the temporary directory of
// the upgrade live here, unless the program is installed where it may not
// write (see ConfigIniPath, and the upgrade's temporary directory).
QString GetProgramDir();

// config.ini: beside the program when it is there (a portable setup),
// else the per-user one when that is there (an installed program), else
// the one beside the program, which then does not exist: defaults apply.
QString ConfigIniPath();

// <the user's configuration directory>/orvane-config/config.ini.
QString PerUserConfigIniPath();
