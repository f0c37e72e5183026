#include "core/firmware/image_choice.h"

#include "core/firmware/image_files.h"

ImageChoice ChooseImages(const std::vector<PackageEntry>& entries, const std::optional<FirmwareVersions>& camera)
{
    ImageChoice choice;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const QString& name = entries[i].strName;
        if (camera && CheckImageName(name, camera->strSoftware, camera->strHardware) == 0) {
            choice.skipped.push_back({name, SkippedEntry::Why::RunsAlready});
            continue;
        }
        choice.turns.push_back(i);
        if (ImageKindForName(name) == ImageKind::Other)
            choice.skipped.push_back({name, SkippedEntry::Why::NotAnImage});
        else
            ++choice.nImages;
    }
    return choice;
}
