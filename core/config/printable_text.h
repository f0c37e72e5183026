#pragma once

#include <QString>

// A name or text as it may be shown on a terminal or kept in a log: control
// characters (ESC, CR, LF ...) written as \xNN, so no name can move the
// cursor or fake a line.
QString PrintableName(const QString& name);
