#include "firmware/version_check.h"

#include "firmware/image_files.h"
#include "settings/image_settings.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

FirmwareVersions VersionsOfCamera(const unsigned char* registers)
{
    const ImageSettings settings = DecodeImageSettings(registers);
    return {VersionText(settings.nSoftwareVersion), VersionText(settings.nHardwareVersion)};
}

FirmwareVersions VersionsOfPackage(const std::vector<PackageEntry>& entries)
{
    FirmwareVersions versions;
    for (const PackageEntry& entry : entries) {
        // Only what a camera can show ("V1.4"): a name without a version
        // ("cam.elf.flash") has nothing to verify.
        static const QRegularExpression shown(u"^[Vv][0-9]{1,2}\\.[0-9]{1,2}$"_s);
        const QString version = ImageVersion(entry.strName);
        if (!shown.match(version).hasMatch())
            continue;
        switch (ImageKindForName(entry.strName)) {
        case ImageKind::Elf: versions.strSoftware = version; break;
        case ImageKind::Sof: versions.strHardware = version; break;
        default: break;
        }
    }
    return versions;
}

std::vector<VersionMismatch> CompareVersions(const FirmwareVersions& expected, const FirmwareVersions& reported)
{
    std::vector<VersionMismatch> mismatches;
    const auto compare = [&](bool software, const QString& wanted, const QString& shown) {
        if (!wanted.isEmpty() && wanted.compare(shown, Qt::CaseInsensitive) != 0)
            mismatches.push_back({software, shown, wanted});
    };
    compare(true, expected.strSoftware, reported.strSoftware);
    compare(false, expected.strHardware, reported.strHardware);
    return mismatches;
}
