#include "core/firmware/version_check.h"

#include "core/firmware/image_files.h"
#include "core/settings/image_settings.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

// Only what a camera can show ("V1.4") can be verified.
bool IsShownVersion(const QString& version)
{
    static const QRegularExpression shown(u"^[Vv][0-9]{1,2}\\.[0-9]{1,2}$"_s);
    return shown.match(version).hasMatch();
}

} // namespace

FirmwareVersions VersionsOfCamera(const unsigned char* registers)
{
    const ImageSettings settings = DecodeImageSettings(registers);
    return {VersionText(settings.nSoftwareVersion), VersionText(settings.nHardwareVersion)};
}

FirmwareVersions VersionsOfPackage(const std::vector<PackageEntry>& entries)
{
    FirmwareVersions versions;
    for (const PackageEntry& entry : entries) {
        const QString version = ImageVersion(entry.strName);
        if (!IsShownVersion(version))
            continue; // see UnverifiableVersions
        switch (ImageKindForName(entry.strName)) {
        case ImageKind::Elf: versions.strSoftware = version; break;
        case ImageKind::Sof: versions.strHardware = version; break;
        default: break;
        }
    }
    return versions;
}

QStringList UnverifiableVersions(const std::vector<PackageEntry>& entries)
{
    QStringList notes;
    for (const PackageEntry& entry : entries) {
        const ImageKind kind = ImageKindForName(entry.strName);
        if ((kind == ImageKind::Elf || kind == ImageKind::Sof) && !IsShownVersion(ImageVersion(entry.strName)))
            notes.append(u"not verified: %1 names no version a camera shows (V<major>.<minor>, as in "
                         "cam_V1.4.elf.flash); the camera cannot be checked against it, and the image is sent "
                         "again on every run"_s.arg(PrintableName(entry.strName)));
    }
    return notes;
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
