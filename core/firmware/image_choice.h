#pragma once

#include "core/firmware/package_reader.h"
#include "core/firmware/version_check.h"

#include <QString>
#include <optional>
#include <vector>

// A package entry an upgrade leaves out, and why.
struct SkippedEntry {
    enum class Why {
        NotAnImage,  // not an elf, sof or font image
        RunsAlready, // the camera runs this version already
    };
    QString strName; // as the package holds it
    Why why = Why::NotAnImage;
};

// What an upgrade takes of a package for a camera running `camera`: in
// archive order, every entry but the images the camera runs already. Those
// of no known kind are looked at and skipped when their turn comes. Without
// `camera` (a camera that was never read) no image counts as running already.
struct ImageChoice {
    std::vector<std::size_t> turns; // indices into the package's entries
    int nImages = 0;                // of those, the images that are sent
    std::vector<SkippedEntry> skipped;
};
ImageChoice ChooseImages(const std::vector<PackageEntry>& entries, const std::optional<FirmwareVersions>& camera);
