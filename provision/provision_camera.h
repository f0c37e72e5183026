#pragma once

#include "core/firmware/package_reader.h"
#include "core/firmware/version_check.h"
#include "core/protocol/next_steps.h"
#include "provision/settings_apply.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class CCameraLink;

// What every camera of a provisioning run gets, checked before any port opens.
struct ProvisionPlan {
    // The package as read and checked whole, with what follows from it.
    void TakePackage(const QString& path, PackageContents contents);
    // The settings file as read and checked.
    void TakeSettings(const QString& path, SettingsToApply toApply);

    int nBaud = 115200;
    QString strPackagePath;
    std::optional<PackageContents> package;
    FirmwareVersions packageVersions; // what a camera must report once upgraded
    QStringList unverifiable;         // a note for each image a camera cannot be verified against
    QString strSettingsPath;
    std::optional<SettingsToApply> settings;
};

struct SentImage {
    QString strName;
    int nChecksum = 0;
    qint64 nBytes = 0;
    qint64 nBytesPerSecond = 0;
};

// What was done to one camera, for the report and the summary.
struct CameraRecord {
    QString strPort;
    QString strSerialNumber; // of the USB adapter, when it has one
    QDateTime started; // UTC
    qint64 nElapsedMs = 0;
    std::optional<FirmwareVersions> before; // as first read
    std::optional<FirmwareVersions> after;  // as last read
    std::vector<SentImage> images;
    QStringList skipped;     // package entries not sent, and why
    QStringList appliedKeys; // the settings written
    QStringList differences; // settings that read back otherwise
    QStringList notes;       // port errors and the line's echo, as they came
    QStringList unverified;  // the plan's notes on images the camera was not verified against
    bool bOk = false;
    QString strFailure;      // what failed, when it did
    std::optional<NextStep> nextStep; // what to do about it, when its words do not say
    QString strCameraReport;          // the camera's error report ("E002"), when it sent one
    bool bUnpluggedMidImage = false;  // the port went away while an image was under way
    bool bPortWentAway = false;       // the port went away during the run, whether or not it came back
    // The upgrade failed, after the restart that starts each image: the
    // camera may be silent because it is still starting.
    bool bMayBeStarting = false;
};

// Told on the camera's own thread as the run goes.
struct ProvisionSink {
    std::function<void(const QString& stage)> stage;
    std::function<void(int percent, qint64 bytesPerSecond)> progress;
};

// One camera, start to end, on the calling thread (which needs an event
// loop of its own): read; send the images it does not run, restart it, read
// it again when it is back and verify its versions; apply the settings and
// read them back. Whatever ends the run (a failure, Ctrl-C), a camera in
// upgrade mode is released with "R" and the port closed.
CameraRecord ProvisionCamera(const QString& port, const ProvisionPlan& plan, const ProvisionSink& sink);
// The same on a link already open to the port (a watched port's), which
// stays open afterwards: no other program can take the port between the
// probe that found the camera, its run and the probes after it.
CameraRecord ProvisionCameraOn(CCameraLink& link, const QString& port, const ProvisionPlan& plan,
                               const ProvisionSink& sink);
