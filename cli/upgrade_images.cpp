#include "upgrade_images.h"

#include "firmware/image_files.h"
#include "protocol/checksum.h"
#include "firmware/version_check.h"

using namespace Qt::StringLiterals;

std::optional<PackageContents> CheckedPackage(const QString& path, CliStreams& io)
{
    QByteArray package;
    if (!ReadInputFile(path, kPackageFileMax, &package, io))
        return std::nullopt;
    PackageError error;
    std::optional<PackageContents> contents = ReadPackage(package, PackageLimits{}, &error);
    if (!contents) {
        const bool notAPackage = error.fault == PackageFault::NotTagged || error.fault == PackageFault::NotAZip;
        io.err << (notAPackage ? u"orvane-cli: %1 is not an upgrade package (%2); nothing was sent"_s
                               : u"orvane-cli: %1 is a bad upgrade package, nothing was sent: %2"_s)
                      .arg(path, error.strDetail)
               << Qt::endl;
    }
    return contents;
}

ImageChoice ImagesToSend(const PackageContents& contents, const RegisterImage& camera)
{
    ImageChoice choice{{}, contents.skipped};
    const FirmwareVersions versions = VersionsOfCamera(camera.data());
    for (const PackageEntry& entry : contents.entries) {
        const QString shown = PrintableName(entry.strName);
        const ImageKind kind = ImageKindForName(entry.strName);
        if (kind == ImageKind::Other)
            choice.skipped.append(u"%1: not an elf, sof or font image"_s.arg(shown));
        else if (CheckImageName(entry.strName, versions.strSoftware, versions.strHardware) == 0)
            choice.skipped.append(u"%1: the camera runs this version already"_s.arg(shown));
        else
            choice.images.push_back({shown, entry.bytes, int(kind), ComputeChecksum(entry.bytes)});
    }
    return choice;
}
