#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// The versions a camera reports once it runs a package's images: the
// software version its last elf image names, the hardware version its last
// sof image names ("V1.4" of "cam_V1.4.elf.flash"); empty where the package
// names none a camera could show.
struct PackageVersions {
    QString strSoftware;
    QString strHardware;
    bool IsEmpty() const { return strSoftware.isEmpty() && strHardware.isEmpty(); }
};
PackageVersions VersionsOfPackage(const QStringList& entryNames);

// One version the camera reports other than the package names.
struct VersionMismatch {
    bool bSoftware = true; // else the hardware version
    QString strReported;
    QString strExpected;
};

// Compared ignoring case, as the images a camera runs already are skipped;
// empty when the camera runs what the package holds.
std::vector<VersionMismatch> CompareVersions(const PackageVersions& expected, const QString& softwareShown,
                                             const QString& hardwareShown);
