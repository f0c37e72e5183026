#pragma once

#include "core/firmware/image_choice.h"
#include "core/firmware/package_reader.h"

#include <QStringList>

// A line for each entry an upgrade leaves out and why: the package's own
// notes, then those of `choice`, names printable.
QStringList SkippedLines(const PackageContents& contents, const ImageChoice& choice);
