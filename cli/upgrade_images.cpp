#include "cli/upgrade_images.h"

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
