#pragma once

#include <QSettings>

// What the program remembers for the user between runs (the last port, the
// window's language): the user's own settings store, never config.ini.
QSettings UserSettings();
