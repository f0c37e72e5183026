// The commands around a camera's kept settings: the records of what it held
// around each write, the differences from a file, and the writes a file
// would make.
#include "cli/cli_commands.h"
#include "core/config/printable_text.h"
#include "core/protocol/link_protocol.h"
#include "core/protocol/register_map.h"
#include "core/settings/settings_backups.h"
#include "provision/camera_link.h"
#include "provision/settings_apply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

// The settings a register carries, as a settings file names them.
QString SettingsOfRegister(int reg)
{
    switch (reg) {
    case 0x08: return u"shutter, iris, auto_gain"_s;
    case 0x09: return u"contrast_enhancement, negative, mirror"_s;
    case 0x0C: case 0x0D: return u"shutter (shortest time)"_s;
    case 0x0E: case 0x0F: return u"shutter (longest time)"_s;
    case 0x10: return u"gain"_s;
    case 0x12: return u"brightness"_s;
    case 0x13: return u"contrast"_s;
    case 0x14: return u"saturation"_s;
    case 0x15: return u"chroma"_s;
    case 0x16: return u"backlight_level"_s;
    case 0x19: return u"exposure_compensation"_s;
    case 0x1A: return u"sharpness"_s;
    case 0x1B: return u"scene"_s;
    case 0x1C: return u"white_balance"_s;
    case 0x1D: return u"backlight"_s;
    case 0x1E: return u"day_night"_s;
    case kLanguageRegister: return u"osd_language"_s;
    case kCommitRegister: return u"(stores what was written)"_s;
    default: return QString();
    }
}

// The file checked in full, the camera opened and read, and the file laid
// over the camera's settings; nullopt with the exit code after saying why on
// standard error, in apply's words.
std::optional<CameraSettings> FileOverReadCamera(CCameraLink& link, const CliOptions& options, CliStreams& io,
                                                 QStringList* keys, int* exitCode)
{
    *exitCode = ExitCode::Usage;
    QByteArray file;
    if (!ReadInputFile(options.strFile, kSettingsFileMax, &file, io))
        return std::nullopt;
    QString error;
    if (!CheckSettingsFile(file, &error)) {
        io.err << u"orvane-cli: %1: %2"_s.arg(options.strFile, error) << Qt::endl;
        return std::nullopt;
    }
    *exitCode = ExitCode::CameraOrPort;
    if (!OpenAndRead(link, options, io))
        return std::nullopt;
    CameraSettings wanted = SettingsOfCamera(link);
    if (!ReadSettingsFile(file, &wanted, keys, &error)) {
        io.err << u"orvane-cli: %1 cannot be applied to the camera on %2: %3"_s.arg(options.strFile, link.PortName(),
                                                                                      error)
               << Qt::endl;
        *exitCode = ExitCode::Usage;
        return std::nullopt;
    }
    return wanted;
}

// Runs `then` with the file laid over the camera's settings (and the keys
// it sets), once both are read; else the exit code of what failed.
int WithFileOverCamera(const CliOptions& options, CliStreams& io,
                       const std::function<int(CCameraLink&, const CameraSettings&, const QStringList&)>& then)
{
    CCameraLink link(ErrorLines(io));
    QStringList keys;
    int exitCode = ExitCode::Success;
    const std::optional<CameraSettings> wanted = FileOverReadCamera(link, options, io, &keys, &exitCode);
    return wanted ? then(link, *wanted, keys) : exitCode;
}

// The records of `port` (every port's when empty), each damaged one named on standard error.
std::vector<BackupRecord> ListedBackups(const QString& port, CliStreams& io)
{
    QStringList skipped;
    const QString folder = BackupsFolder();
    std::vector<BackupRecord> records = ListBackups(folder, port, &skipped);
    for (const QString& why : skipped)
        io.err << u"orvane-cli: skipped %1/%2"_s.arg(folder, PrintableName(why)) << Qt::endl;
    return records;
}

} // namespace

int RunApply(const CliOptions& options, CliStreams& io)
{
    return options.bDryRun ? RunApplyDryRun(options, io)
                           : ApplySettingsFile(options.strFile, u"apply "_s + options.strFile, options, io);
}

int ApplySettingsFile(const QString& path, const QString& what, const CliOptions& options, CliStreams& io)
{
    QByteArray file;
    if (!ReadInputFile(path, kSettingsFileMax, &file, io))
        return ExitCode::Usage;
    // Checked in full before the port is opened, so a bad file sends nothing.
    QString error;
    const std::optional<SettingsToApply> settings = CheckSettingsFile(file, &error);
    if (!settings) {
        io.err << u"orvane-cli: %1: %2"_s.arg(path, error) << Qt::endl;
        return ExitCode::Usage;
    }

    CCameraLink link(ErrorLines(io));
    if (!OpenAndRead(link, options, io))
        return ExitCode::CameraOrPort;
    const ApplyResult result = ApplySettings(link, *settings, what);
    switch (result.fault) {
    case ApplyResult::Fault::None: break;
    case ApplyResult::Fault::DoesNotFit:
        io.err << u"orvane-cli: %1 cannot be applied to the camera on %2: %3"_s.arg(path, link.PortName(),
                                                                                      result.strError)
               << Qt::endl;
        return ExitCode::Usage;
    case ApplyResult::Fault::WritesStopped:
        io.err << u"orvane-cli: %1: the writes of %2 were cut off before all of them went out; the camera on %3 may "
                  "hold part of the file\nhint: apply it again, or apply the record kept before it ('orvane-cli "
                  "backups --port %4')"_s.arg(result.strError.isEmpty() ? u"interrupted"_s : result.strError, path,
                                              link.PortName(), PrintableName(link.Connection().RecordPort()))
               << Qt::endl;
        return ExitCode::CameraOrPort;
    case ApplyResult::Fault::ReadBackFailed:
        TellLinkFailure(link, u"the read-back failed: "_s + result.strError, io);
        return ExitCode::CameraOrPort;
    case ApplyResult::Fault::Differs:
        io.err << u"orvane-cli: %1 setting(s) did not read back as written:\n"_s.arg(result.differences.size());
        for (const QString& difference : result.differences)
            io.err << u"  "_s << difference << u'\n';
        io.err.flush();
        return ExitCode::CameraOrPort;
    }
    io.out << u"applied %1 settings to the camera on %2; all read back as written\n"_s.arg(settings->keys.size())
                  .arg(link.PortName())
           << Qt::flush;
    return ExitCode::Success;
}

int RunBackups(const CliOptions& options, CliStreams& io)
{
    const QString folder = BackupsFolder();
    // Named as the records name it: "com1" lists what was kept of COM1.
    const QString port = options.strPort.isEmpty() ? QString() : BackupPortOf(options.strPort);
    const std::vector<BackupRecord> records = ListedBackups(port, io);
    for (const BackupRecord& record : records) {
        const QString time = record.note.time.toString(u"yyyy-MM-dd HH:mm:ss"_s);
        const QString what = record.note.strWhat + (record.note.bAfter ? u" (after)"_s : u" (before)"_s);
        if (options.bJson) {
            const QJsonObject line{{u"time"_s, record.note.time.toString(Qt::ISODateWithMs)},
                                   {u"port"_s, record.note.strPort},
                                   {u"hardware"_s, record.strHardware},
                                   {u"software"_s, record.strSoftware},
                                   {u"what"_s, what},
                                   {u"path"_s, record.strPath}};
            io.out << QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)) << u'\n';
        } else {
            // A record is a file anyone may have edited: nothing of it reaches the terminal raw.
            io.out << u"%1  %2  software %3, hardware %4  %5\n    %6\n"_s.arg(
                time, PrintableName(record.note.strPort), PrintableName(record.strSoftware),
                PrintableName(record.strHardware), PrintableName(what), PrintableName(record.strPath));
        }
    }
    if (records.empty() && !options.bJson)
        io.out << u"no records in %1%2\n"_s.arg(folder, port.isEmpty() ? QString() : u" of "_s + port);
    io.out.flush();
    return ExitCode::Success;
}

int RunDiff(const CliOptions& options, CliStreams& io)
{
    const auto diff = [&](CCameraLink& link, const CameraSettings& wanted, const QStringList& keys) {
        const QJsonObject fileJson = SettingsToJson(wanted);
        const QJsonObject cameraJson = SettingsToJson(SettingsOfCamera(link));
        // Compared as the registers the file would write: a time and the item it equals do not differ.
        const QJsonObject written = SettingsToJson(
            SettingsAfterWrites(SettingsWrites(wanted, link.Registers().data()), link.Registers()));
        QJsonArray differences;
        for (const SettingChange& change : SettingChanges(cameraJson, written, keys)) {
            const QJsonValue file = fileJson[change.strKey];
            differences.append(QJsonObject{{u"setting"_s, change.strKey}, {u"camera"_s, change.from}, {u"file"_s, file}});
            if (!options.bJson)
                io.out << u"%1: camera %2, file %3\n"_s.arg(change.strKey, SettingValueText(change.from),
                                                            SettingValueText(file));
        }
        if (options.bJson)
            io.out << QString::fromUtf8(QJsonDocument(QJsonObject{{u"port"_s, link.PortName()},
                                                                  {u"file"_s, options.strFile},
                                                                  {u"differences"_s, differences}})
                                            .toJson(QJsonDocument::Compact))
                   << u'\n';
        else if (differences.isEmpty())
            io.out << u"the camera on %1 has every setting of %2\n"_s.arg(link.PortName(), options.strFile);
        io.out.flush();
        return differences.isEmpty() ? ExitCode::Success : ExitCode::CameraOrPort;
    };
    return WithFileOverCamera(options, io, diff);
}

int RunApplyDryRun(const CliOptions& options, CliStreams& io)
{
    return WithFileOverCamera(options, io, [&](CCameraLink& link, const CameraSettings& wanted, const QStringList&) {
        io.out << u"apply %1 to the camera on %2 would send (nothing was sent):\n"_s.arg(options.strFile,
                                                                                            link.PortName());
        for (const RegisterWrite& write : SettingsWrites(wanted, link.Registers().data())) {
            io.out << u"  register 0x%1 = %2  %3\n"_s.arg(write.nRegister, 2, 16, QChar(u'0'))
                          .arg(write.nValue)
                          .arg(SettingsOfRegister(write.nRegister));
        }
        io.out.flush();
        return ExitCode::Success;
    });
}

int RestoreKeptSettings(const QString& recordPort, const QDateTime& began, const CliOptions& options, CliStreams& io)
{
    const std::optional<BackupRecord> record = RecordToRestore(ListedBackups(recordPort, io), began);
    if (!record) {
        io.err << u"orvane-cli: no settings of %1 were kept in %2 before the recovery: nothing restored (a camera "
                  "whose settings were never read and saved here has no record)"_s.arg(recordPort, BackupsFolder())
               << Qt::endl;
        return ExitCode::CameraOrPort;
    }
    io.out << u"restoring the settings kept %1 (%2, %3): %4\n"_s.arg(
                  record->note.time.toString(u"yyyy-MM-dd HH:mm:ss"_s), record->note.strWhat,
                  record->note.bAfter ? u"after"_s : u"before"_s, record->strPath)
           << Qt::flush;
    // The record was read whole: one that does not fit is this camera's
    // matter, after the recovery's images went out, not a usage error.
    const int exitCode = ApplySettingsFile(record->strPath, u"restore "_s + record->strPath, options, io);
    return exitCode == ExitCode::Usage ? ExitCode::CameraOrPort : exitCode;
}
