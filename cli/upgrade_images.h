#pragma once

#include "cli_commands.h"
#include "firmware/package_reader.h"
#include "protocol/register_map.h"
#include "upgrade_run.h"

#include <optional>
#include <vector>

// The package read and checked whole, before any port is opened; nullopt
// after saying why on standard error.
std::optional<PackageContents> CheckedPackage(const QString& path, CliStreams& io);

// The images of the package a camera with these registers does not run
// yet, in package order, and a line for each entry left out.
struct ImageChoice {
    std::vector<UpgradeImage> images;
    QStringList skipped;
};
ImageChoice ImagesToSend(const PackageContents& contents, const RegisterImage& camera);
