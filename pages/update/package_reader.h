#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// An upgrade package is a zip archive whose first two bytes read "QZ"
// instead of "PK". It is read from memory with the tag replaced there, so
// the file itself is never written (and may be read-only).

// Limits far above any real firmware, so a package that unpacks to gigabytes
// is refused instead of filling the disk.
struct PackageLimits {
    qint64 nEntryMax = 64LL * 1024 * 1024;
    qint64 nTotalMax = 256LL * 1024 * 1024;
    int nMaxImages = 20; // the image slots of the upgrade page
};

struct PackageEntry {
    QString strName;
    QByteArray bytes;
};

struct PackageContents {
    std::vector<PackageEntry> entries; // accepted and whole, in archive order
    QStringList skipped;               // one line per entry left out, and why
};

enum class PackageFault {
    NotTagged, // the first two bytes are not "QZ" (an ordinary zip starts "PK")
    NotAZip,   // not a readable zip archive once "PK" is in place
};

// Whether a name may become a file of its own in the temporary directory:
// no directory part, no "..", not absolute, not empty.
bool IsPlainEntryName(const QString& name);

// Reads the entries `accept` wants. Left out, each with a line in `skipped`:
// names that are not plain, entries beyond nMaxImages, entries larger than
// the limits, entries whose data ends before their declared size or whose
// CRC fails, entries that cannot be opened.
std::optional<PackageContents> ReadPackage(const QByteArray& package, const std::function<bool(const QString&)>& accept,
                                           const PackageLimits& limits, PackageFault* fault);
