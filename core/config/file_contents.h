#pragma once

#include <QByteArray>
#include <QString>

// Whether a file may be read or written at the path: it is a regular file
// (a symbolic link is followed) or nothing is there yet. False, with *error
// "not a regular file", for a FIFO, a device or a directory, which reading
// could block on and writing would replace.
bool RegularFileOrNone(const QString& path, QString* error);

// Reads a whole regular file of at most maxBytes bytes. Anything else (a
// device such as /dev/zero, a FIFO, a directory) is refused before it is
// opened, so no read blocks or grows without end. False with *error saying
// why: the OS's words, "not a regular file" or the limit.
bool ReadRegularFile(const QString& path, qint64 maxBytes, QByteArray* bytes, QString* error);
