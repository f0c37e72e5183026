#include "firmware/version_check.h"

#include "firmware/image_files.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

PackageVersions VersionsOfPackage(const QStringList& entryNames)
{
    PackageVersions versions;
    for (const QString& name : entryNames) {
        // Only what a camera can show ("V1.4"): a name without a version
        // ("cam.elf.flash") has nothing to verify.
        static const QRegularExpression shown(u"^[Vv][0-9]{1,2}\\.[0-9]{1,2}$"_s);
        const QString version = ImageVersion(name);
        if (!shown.match(version).hasMatch())
            continue;
        switch (ImageKindForName(name)) {
        case ImageKind::Elf: versions.strSoftware = version; break;
        case ImageKind::Sof: versions.strHardware = version; break;
        default: break;
        }
    }
    return versions;
}

std::vector<VersionMismatch> CompareVersions(const PackageVersions& expected, const QString& softwareShown,
                                             const QString& hardwareShown)
{
    std::vector<VersionMismatch> mismatches;
    const auto compare = [&](bool software, const QString& wanted, const QString& shown) {
        if (!wanted.isEmpty() && wanted.compare(shown, Qt::CaseInsensitive) != 0)
            mismatches.push_back({software, shown, wanted});
    };
    compare(true, expected.strSoftware, softwareShown);
    compare(false, expected.strHardware, hardwareShown);
    return mismatches;
}
