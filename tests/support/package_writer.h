#pragma once

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

using PackageEntries = std::vector<std::pair<QByteArray, QByteArray>>; // name, bytes

// A real zip archive of the entries, written with minizip's zip API
// (method Z_DEFLATED or 0 for stored).
QByteArray ZipArchive(const PackageEntries& entries, int method = 8);

// The archive as an upgrade package: "QZ" in place of its first "PK".
QByteArray Tagged(QByteArray zip);

// Writes a package of the entries to `path`, tagged unless asked not to.
void WritePackage(const QString& path, const PackageEntries& entries, bool tag = true);

QByteArray FileBytes(const QString& path);
