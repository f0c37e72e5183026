#pragma once

#include "cli/cli_commands.h"

#include <QByteArray>
#include <QStringList>

// The ports a ports file names: one a line, '#' starting a comment. Blank
// lines, a UTF-8 byte order mark, CR LF line ends and a last line without
// its line end are all fine: such files are written by hand, on Windows too.
QStringList PortsOfFile(const QByteArray& file);

// The --port values and the ports file's lines, in order. Empty after
// saying why when the file cannot be read, names no port, a COMn is not
// mapped, or two names lead to one device (a link and its target,
// "/dev/pts/./0" and "/dev/pts/0", a COMn mapped to either).
QStringList PortsToProvision(const CliOptions& options, CliStreams& io);
