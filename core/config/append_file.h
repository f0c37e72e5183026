#pragma once

#include <QFile>
#include <QString>

// Whether a symbolic link at the path is followed to its target.
enum class LinkAtPath { Follow, Refuse };

// Opens the file at file.fileName() to append to, made when missing. Every
// write lands at the end, wherever another writer has left it. Anything but
// a regular file (a FIFO, a device, a directory) is refused without waiting
// for a reader, as is a symbolic link with LinkAtPath::Refuse. False with
// *error saying why: the OS's words, or what the path is.
bool OpenForAppend(QFile& file, LinkAtPath links, QString* error);
