#pragma once

#include <QString>

// The kinds of image an upgrade package holds, by the end of the name.
enum class ImageKind {
    Elf = 0,  // "*.elf.flash": program of the soft-core processor, type 1 on the wire
    Sof = 1,  // "*.sof.flash": hardware loader, type 2
    Font = 2, // "*.font.flash" (recognised by "ont.flash"), type 3
    Other = 3,
};
ImageKind ImageKindForName(const QString& name);

// The version an elf or sof image carries after the last '_' of its name, up
// to the second '.': "cam_V1.2.elf.flash" -> "V1.2". Empty when there is none.
QString ImageVersion(const QString& name);

// 1: extract the entry; 0: skip it, because the camera already runs this
// elf (software version shown) or sof image (hardware version shown),
// compared ignoring case. Font images and other entries are always extracted.
int CheckImageName(const QString& name, const QString& softwareShown, const QString& hardwareShown);

// Deletes a directory with everything in it. A symbolic link is removed as a
// link: nothing it points at is touched. Files that cannot be deleted stay.
bool DeleteTree(const QString& dir);

// Makes a fresh folder for one upgrade run's images, private to this user,
// inside "temp" beside the program when that can be written, else inside
// "temp" in a directory of this user's (an installed program under /usr).
// Each run has its own, so two windows upgrading at once never share an
// image by name; the caller removes it with DeleteTree when the run ends.
// An empty path when neither can be made.
struct TempDirChoice {
    QString strPath;
    bool bPerUser = false;
};
TempDirChoice PrepareTempDir(const QString& programDir, const QString& perUserDir);
