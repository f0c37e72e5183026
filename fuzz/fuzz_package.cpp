// Feeds arbitrary bytes to the upgrade package reader as a tagged package:
// whatever the archive holds, reading must neither crash nor read or write
// out of bounds, and a package it accepts must respect the limits, hold
// plain names only, none twice, and at least one image.
#include "core/firmware/image_files.h"
#include "core/firmware/package_reader.h"

#include <QSet>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray package("QZ");
    package.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    PackageLimits limits;
    limits.nEntryMax = 1 << 20;
    limits.nTotalMax = 4 << 20;
    PackageError error;
    const std::optional<PackageContents> contents = ReadPackage(package, limits, &error);
    if (!contents)
        return 0;
    qint64 total = 0;
    QSet<QString> names;
    bool anyImage = false;
    for (const PackageEntry& entry : contents->entries) {
        total += entry.bytes.size();
        anyImage = anyImage || ImageKindForName(entry.strName) != ImageKind::Other;
        if (!IsPlainEntryName(entry.strName) || entry.bytes.size() > limits.nEntryMax || names.contains(entry.strName.toCaseFolded()))
            std::abort();
        names.insert(entry.strName.toCaseFolded());
    }
    if (!anyImage)
        std::abort();
    if (total > limits.nTotalMax || static_cast<int>(contents->entries.size()) > limits.nMaxImages)
        std::abort();
    return 0;
}
