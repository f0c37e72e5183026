#pragma once

#include <QString>

// The directory of the executable, computed on first use and kept for the
// process. config.ini, the language library and the temporary directory of
// the upgrade live here.
QString GetProgramDir();

// GetProgramDir() + "/config.ini".
QString ConfigIniPath();
