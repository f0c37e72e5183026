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

// A file of the setup as last read. It is read again only once its path,
// size or time changed: the window reads it once for its summary, and a
// start uses what the summary shows.
class CSetupFile {
public:
    enum class Kind { Package, Settings };
    explicit CSetupFile(Kind kind) : m_kind(kind) {}

    // The file at `path` (empty: none chosen); nullopt with *error naming it and what is wrong.
    const std::optional<StationPlan>& Read(const QString& path, QString* error);

private:
    Kind m_kind;
    QString m_strPath;
    qint64 m_nSize = -1;
    qint64 m_nModifiedMs = -1;
    bool m_bRead = false;
    std::optional<StationPlan> m_plan;
    QString m_strError;
};

// The plan of a start: the package's and the settings' parts, at a rate.
ProvisionPlan CombinedPlan(const StationPlan& package, const StationPlan& settings, int baud);

// The first eight hex digits of the bytes' SHA-256.
QString ShortChecksum(const QByteArray& bytes);
