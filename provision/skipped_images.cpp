#include "provision/skipped_images.h"

#include "core/config/printable_text.h"

using namespace Qt::StringLiterals;

QStringList SkippedLines(const PackageContents& contents, const ImageChoice& choice)
{
    QStringList lines = contents.skipped;
    for (const SkippedEntry& entry : choice.skipped)
        lines.append((entry.why == SkippedEntry::Why::NotAnImage ? u"%1: not an elf, sof or font image"_s
                                                                  : u"%1: the camera runs this version already"_s)
                         .arg(PrintableName(entry.strName)));
    return lines;
}
