#pragma once

#include "serial/line.h"
#include "session/read_failure.h"

#include <QString>

// The window's words for what went wrong on the link, from the string table.

// "WARNING:  read() Failed with the following error: …", naming the step,
// the OS's words and the port, for the "Application Error" box.
QString CommErrorText(const CommErrorReport& report);
// The status text's tooltip once a camera answered: the device, whether the
// line echoes, and a device server's round trip.
QString LineTip(const QString& device, bool echoes, int roundTripMs);
// The next step below a box saying a port would not open, on a line of its
// own (another program holds it; a device server did not answer); empty
// when there is nothing to add.
QString OpenFailureNextStep(const PortOpenError& error);
// Which register a failed read stopped at, what came of its answer and how
// many tries were made.
QString ReadFailureDetail(const ReadFailure& failure);
// The next step below a failed read: the search, or first the device
// server that set another rate than asked (its words given).
QString ReadFailureNextStep(const QString& refusedByServer);
