#include "core/settings/settings_backups.h"

#include "core/config/com_ports.h"
#include "core/config/file_contents.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString kSuffix = u".json"_s;
// COM1 .. COM16, as the command line maps them.
constexpr unsigned kComPortsNamedInRecords = 16;

// A port as a file name can hold it, one to one, so that pruning one
// port's records never takes another's: '/' becomes '_', and every byte of
// its UTF-8 but ASCII letters, digits, '.' and '-' becomes ~XX.
QString PortInName(const QString& port)
{
    QString name;
    for (const char byte : port.toUtf8()) {
        const auto c = static_cast<unsigned char>(byte);
        const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (plain || c == '.' || c == '-')
            name += QLatin1Char(byte);
        else if (c == '/')
            name += u'_';
        else
            name += u"~%1"_s.arg(c, 2, 16, QChar(u'0')).toUpper();
    }
    return name;
}

// A file name says when (UTC, so that names sort as the times do), of which
// port and which side of the write.
QString RecordName(const BackupNote& note, int attempt)
{
    const QString base = u"%1_%2_%3"_s.arg(note.time.toUTC().toString(u"yyyyMMdd-HHmmss-zzz"_s),
                                           PortInName(note.strPort), note.bAfter ? u"after"_s : u"before"_s);
    return (attempt == 0 ? base : u"%1-%2"_s.arg(base).arg(attempt)) + kSuffix;
}

std::optional<BackupRecord> ReadRecord(const QString& path, QString* why)
{
    QByteArray bytes;
    if (!ReadRegularFile(path, kSettingsFileMax, &bytes, why))
        return std::nullopt;
    CameraSettings settings;
    QStringList keys;
    QString error;
    if (!ReadSettingsFile(bytes, &settings, &keys, &error, VideoFormatFit::NotKnownYet)) {
        *why = error.section(u'\n', 0, 0);
        return std::nullopt;
    }
    const QJsonObject camera = QJsonDocument::fromJson(bytes).object()[u"camera"_s].toObject();
    const QJsonObject backup = camera[u"backup"_s].toObject();
    BackupRecord record;
    record.strPath = path;
    record.note.strPort = backup[u"port"_s].toString();
    record.note.strWhat = backup[u"write"_s].toString();
    record.note.bAfter = backup[u"side"_s].toString() == u"after"_s;
    record.note.time = QDateTime::fromString(backup[u"time"_s].toString(), Qt::ISODateWithMs);
    record.strHardware = camera[u"hardware_version"_s].toString();
    record.strSoftware = camera[u"software_version"_s].toString();
    if (record.note.strPort.isEmpty() || !record.note.time.isValid()) {
        *why = u"not a record of this tool (no port or time in \"camera\".\"backup\")"_s;
        return std::nullopt;
    }
    return record;
}

// By name alone, without reading a record: a save must not wait for 200 files.
void KeepNewest(const QString& folder, const QString& port, int keep)
{
    const QString inName = PortInName(port);
    QStringList names = QDir(folder).entryList({u"*_"_s + inName + u"_*"_s + kSuffix}, QDir::Files,
                                               QDir::Name | QDir::Reversed);
    // "*_COM1_*" also matches "_dev_COM1": the part between the time and the side must be the port whole.
    names.removeIf([&](const QString& name) {
        const qsizetype first = name.indexOf(u'_');
        return name.mid(first + 1, name.lastIndexOf(u'_') - first - 1) != inName;
    });
    for (qsizetype i = std::max(keep, 0); i < names.size(); ++i)
        QFile::remove(folder + u'/' + names[i]);
}

} // namespace

QString BackupsFolder()
{
    const QString set = qEnvironmentVariable("ORVANE_BACKUPS");
    if (!set.isEmpty())
        return set;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/orvane-config/backups"_s;
}

QString BackupPortName(unsigned comNumber, const QString& device)
{
    if (comNumber)
        return u"COM%1"_s.arg(comNumber);
    // One device, one name: what a COMn opens is kept as that COMn's, however it was named.
    const QString key = SamePortKey(device);
    for (const ComPort& com : ComPorts(kComPortsNamedInRecords)) {
        if (SamePortKey(com.strDevice) == key)
            return u"COM%1"_s.arg(com.nNumber);
    }
    return device;
}

QString BackupPortOf(const QString& name)
{
    const NamedPort port = ResolvePort(name);
    return BackupPortName(port.nComNumber, port.strDevice);
}

QString WriteBackup(const QString& folder, const CameraSettings& settings, const BackupNote& note, QString* error,
                    int keep)
{
    if (!QDir().mkpath(folder)) {
        *error = u"%1: the folder cannot be made"_s.arg(folder);
        return QString();
    }
    QJsonObject json = SettingsToJson(settings);
    QJsonObject camera = json[u"camera"_s].toObject();
    camera[u"backup"_s] = QJsonObject{{u"port"_s, note.strPort},
                                      {u"time"_s, note.time.toString(Qt::ISODateWithMs)},
                                      {u"write"_s, note.strWhat},
                                      {u"side"_s, note.bAfter ? u"after"_s : u"before"_s}};
    json[u"camera"_s] = camera;
    const QByteArray bytes = QJsonDocument(json).toJson();

    // Written under a name of its own, then given its name: a reader never
    // sees half a record, and a record already there is never replaced.
    QTemporaryFile file(folder + u"/.record-XXXXXX"_s);
    file.setAutoRemove(true);
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush()) {
        *error = u"%1: %2"_s.arg(folder, file.errorString());
        return QString();
    }
    file.close();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = folder + u'/' + RecordName(note, attempt);
        if (QFile::exists(path))
            continue;
        if (!file.rename(path))
            continue; // taken meanwhile by another instance
        file.setAutoRemove(false);
        KeepNewest(folder, note.strPort, keep);
        return path;
    }
    *error = u"%1: %2"_s.arg(folder, file.errorString());
    return QString();
}

std::vector<BackupRecord> ListBackups(const QString& folder, const QString& port, QStringList* skipped)
{
    std::vector<BackupRecord> records;
    const QStringList names = QDir(folder).entryList({u"*"_s + kSuffix}, QDir::Files);
    for (const QString& name : names) {
        QString why;
        std::optional<BackupRecord> record = ReadRecord(folder + u'/' + name, &why);
        if (!record) {
            if (skipped)
                skipped->append(u"%1: %2"_s.arg(name, why));
        }
        else if (port.isEmpty() || record->note.strPort == port)
            records.push_back(std::move(*record));
    }
    std::stable_sort(records.begin(), records.end(), [](const BackupRecord& a, const BackupRecord& b) {
        if (a.note.time != b.note.time)
            return a.note.time > b.note.time;
        return a.note.bAfter != b.note.bAfter ? a.note.bAfter : a.strPath > b.strPath;
    });
    return records;
}

std::optional<BackupRecord> RecordToRestore(const std::vector<BackupRecord>& records, const QDateTime& began)
{
    for (const BackupRecord& record : records) {
        const bool leftByRecovery = record.note.bAfter && record.note.strWhat.startsWith(u"recover"_s);
        // A restore cut short left the recovered defaults as its before-record.
        const bool foundByRestore = !record.note.bAfter && record.note.strWhat.startsWith(u"restore "_s);
        if (record.note.time < began && !leftByRecovery && !foundByRestore)
            return record;
    }
    return std::nullopt;
}
