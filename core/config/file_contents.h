#pragma once

#include <QByteArray>
#include <QString>

// Reads a whole regular file of at most maxBytes bytes. Anything else (a
// device such as /dev/zero, a FIFO, a directory) is refused before it is
// opened, so no read blocks or grows without end. False with *error saying
// why: the OS's words, "not a regular file" or the limit.
bool ReadRegularFile(const QString& path, qint64 maxBytes, QByteArray* bytes, QString* error);
