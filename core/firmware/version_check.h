#pragma once

#include "core/firmware/package_reader.h"

#include <QString>
#include <QStringList>
#include <vector>

// A camera's two versions as it shows them ("V1.4"), or those a package's
// images name; empty where unknown.
struct FirmwareVersions {
    QString strSoftware; // register 0x01, the elf image
    QString strHardware; // register 0x00, the sof image
    bool IsEmpty() const { return strSoftware.isEmpty() && strHardware.isEmpty(); }
};

// What the camera's registers (a read cycle's image) show.
FirmwareVersions VersionsOfCamera(const unsigned char* registers);

// The versions a camera reports once it runs a package's images: the
// software version its last elf image names, the hardware version its last
// sof image names ("V1.4" of "cam_V1.4.elf.flash"); empty where the package
// names none a camera could show.
FirmwareVersions VersionsOfPackage(const std::vector<PackageEntry>& entries);

// A note for each elf or sof image of the package whose name carries no
// version a camera shows ("cam_V1.4a.elf.flash"): a camera that runs it
// cannot be verified, and the image is sent again on every run.
QStringList UnverifiableVersions(const std::vector<PackageEntry>& entries);

// One version the camera reports other than the package names.
struct VersionMismatch {
    bool bSoftware = true; // else the hardware version
    QString strReported;
    QString strExpected;
};

// Compared ignoring case, as the images a camera runs already are skipped;
// empty when the camera runs what the package holds.
std::vector<VersionMismatch> CompareVersions(const FirmwareVersions& expected, const FirmwareVersions& reported);
