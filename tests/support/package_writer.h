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

// Record signatures of a zip archive: local header, central directory
// header, end of central directory.
inline const QByteArray kZipLocal("PK\x03\x04");
inline const QByteArray kZipCentral("PK\x01\x02");
inline const QByteArray kZipEnd("PK\x05\x06");

// Sets (or, with orIn, sets bits of) the little-endian 16-bit field at
// `offset` of every record that starts with `signature`: a damaged archive.
void PatchZipRecords(QByteArray& zip, const QByteArray& signature, int offset, quint16 value, bool orIn = false);
