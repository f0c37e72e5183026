#include "gui/station/station_plan.h"

#include "core/config/file_contents.h"
#include "core/firmware/package_reader.h"
#include "core/settings/settings_file.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "provision/settings_apply.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// The file's bytes, or nullopt with *error naming it.
std::optional<QByteArray> FileBytes(const QString& path, qint64 maxBytes, QString* error)
{
    QByteArray bytes;
    QString why;
    if (!ReadRegularFile(path, maxBytes, &bytes, &why)) {
        *error = LoadString(Ids::StationFileError).arg(path, why);
        return std::nullopt;
    }
    return bytes;
}

} // namespace

QString ShortChecksum(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(8));
}

std::optional<StationPlan> ReadStationPlan(const QString& packagePath, const QString& settingsPath, int baud,
                                           QString* error)
{
    StationPlan station;
    station.plan.nBaud = baud;
    if (!packagePath.isEmpty()) {
        const std::optional<QByteArray> bytes = FileBytes(packagePath, kPackageFileMax, error);
        if (!bytes)
            return std::nullopt;
        PackageError fault;
        std::optional<PackageContents> package = ReadPackage(*bytes, PackageLimits{}, &fault);
        if (!package) {
            *error = LoadString(Ids::StationFileError).arg(packagePath, fault.strDetail);
            return std::nullopt;
        }
        station.plan.TakePackage(packagePath, std::move(*package));
        const FirmwareVersions& versions = station.plan.packageVersions;
        station.strPackageSummary = LoadString(Ids::StationPackageSummary)
                                        .arg(versions.strSoftware.isEmpty() ? u"-"_s : versions.strSoftware,
                                             versions.strHardware.isEmpty() ? u"-"_s : versions.strHardware,
                                             ShortChecksum(*bytes));
    }
    if (!settingsPath.isEmpty()) {
        const std::optional<QByteArray> bytes = FileBytes(settingsPath, kSettingsFileMax, error);
        if (!bytes)
            return std::nullopt;
        QString why;
        std::optional<SettingsToApply> settings = CheckSettingsFile(*bytes, &why);
        if (!settings) {
            *error = LoadString(Ids::StationFileError).arg(settingsPath, why);
            return std::nullopt;
        }
        station.plan.TakeSettings(settingsPath, std::move(*settings));
        station.strSettingsSummary = LoadString(Ids::StationSettingsSummary)
                                         .arg(station.plan.settings->keys.size())
                                         .arg(ShortChecksum(*bytes));
    }
    return station;
}

const std::optional<StationPlan>& CSetupFile::Read(const QString& path, QString* error)
{
    const QFileInfo info(path);
    const qint64 size = info.exists() ? info.size() : -1;
    const qint64 modifiedMs = info.exists() ? info.lastModified().toMSecsSinceEpoch() : -1;
    if (!m_bRead || path != m_strPath || size != m_nSize || modifiedMs != m_nModifiedMs) {
        m_bRead = true;
        m_strPath = path;
        m_nSize = size;
        m_nModifiedMs = modifiedMs;
        m_strError.clear();
        m_plan = m_kind == Kind::Package ? ReadStationPlan(path, QString(), 0, &m_strError)
                                         : ReadStationPlan(QString(), path, 0, &m_strError);
    }
    *error = m_strError;
    return m_plan;
}

ProvisionPlan CombinedPlan(const StationPlan& package, const StationPlan& settings, int baud)
{
    ProvisionPlan plan = package.plan;
    plan.nBaud = baud;
    plan.strSettingsPath = settings.plan.strSettingsPath;
    plan.settings = settings.plan.settings;
    return plan;
}
