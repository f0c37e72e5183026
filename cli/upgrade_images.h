#pragma once

#include "cli/cli_commands.h"
#include "core/firmware/package_reader.h"

#include <optional>

// The package read and checked whole, before any port is opened; nullopt
// after saying why on standard error.
std::optional<PackageContents> CheckedPackage(const QString& path, CliStreams& io);
