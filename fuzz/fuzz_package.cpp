// Feeds arbitrary bytes to the upgrade package reader as a tagged package:
// whatever the archive holds, reading must neither crash nor read or write
// out of bounds, and every entry it keeps must respect the limits and be a
// plain name.
#include "pages/update/package_reader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray package("QZ");
    package.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    PackageLimits limits;
    limits.nEntryMax = 1 << 20;
    limits.nTotalMax = 4 << 20;
    PackageFault fault{};
    const std::optional<PackageContents> contents =
        ReadPackage(package, [](const QString&) { return true; }, limits, &fault);
    if (!contents)
        return 0;
    qint64 total = 0;
    for (const PackageEntry& entry : contents->entries) {
        total += entry.bytes.size();
        if (!IsPlainEntryName(entry.strName) || entry.bytes.size() > limits.nEntryMax)
            std::abort();
    }
    if (total > limits.nTotalMax || static_cast<int>(contents->entries.size()) > limits.nMaxImages)
        std::abort();
    return 0;
}
