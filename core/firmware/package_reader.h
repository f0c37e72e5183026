#pragma once

#include "core/config/printable_text.h" // PrintableName, which entries are named with in messages

#include <QByteArray>
#include <QString>
#include <QStringList>
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
    int nMaxImages = 20; // the image slots of the upgrade page: entries in all
};

// The largest package file that is read at all: its entries could not
// unpack to more than the total limit anyway.
constexpr qint64 kPackageFileMax = PackageLimits{}.nTotalMax;

struct PackageEntry {
    QString strName;
    QByteArray bytes;
};

struct PackageContents {
    std::vector<PackageEntry> entries; // every entry, whole and checked, in archive order
    QStringList skipped;               // one line per entry left out, and why
};

enum class PackageFault {
    NotTagged, // the first two bytes are not "QZ" (an ordinary zip starts "PK")
    NotAZip,   // not a readable zip archive once "PK" is in place
    BadEntry,  // an entry that cannot be read whole and checked, or an ambiguous package
    NoImages,  // no entry is named as an elf, sof or font image
};

struct PackageError {
    PackageFault fault = PackageFault::NotAZip;
    QString strDetail; // what is wrong, naming the entry (printable) where there is one
};

// Whether a name may become a file of its own in the temporary directory:
// no directory part, no "..", not ".", not absolute, not empty.
bool IsPlainEntryName(const QString& name);

// Reads and checks the whole package before anything is sent. Names that
// are not plain are left out, each with a line in `skipped`. The package is
// refused when any other entry cannot be read whole: a damaged or short
// entry, a CRC that fails, encryption, a compression other than stored or
// deflated, a name over 260 bytes, an entry over the limits, an empty
// image; and when the package holds more than nMaxImages entries (those left
// out included), two entries of one name (ignoring case), or no image at all.
std::optional<PackageContents> ReadPackage(const QByteArray& package, const PackageLimits& limits, PackageError* error);
