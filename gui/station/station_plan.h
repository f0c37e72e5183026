#pragma once

#include "provision/provision_camera.h"

#include <QByteArray>
#include <QString>
#include <optional>

// What the station gives every camera, read and checked before it starts,
// with what a supervisor checks at a glance: the package's versions and a
// short checksum of each file.
struct StationPlan {
    ProvisionPlan plan;
    QString strPackageSummary;  // empty without a package
    QString strSettingsSummary; // empty without a settings file
};

// The package and the settings file (either may be empty, not both), as
// provision checks them. nullopt with *error naming the file and what is wrong.
std::optional<StationPlan> ReadStationPlan(const QString& packagePath, const QString& settingsPath, int baud,
                                           QString* error);

// The first eight hex digits of the bytes' SHA-256.
QString ShortChecksum(const QByteArray& bytes);
