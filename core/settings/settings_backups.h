#pragma once

#include "core/settings/settings_file.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The records of what a camera held around each write to it: before the
// write (its last good read) and after it (the read that followed). Each is
// a settings file, applied back with `orvane-cli apply PATH`, whose "camera"
// section also notes the port, the time and what the write was.
constexpr int kBackupsKeptPerPort = 200;

// $XDG_DATA_HOME/orvane-config/backups, or $ORVANE_BACKUPS when it is set.
QString BackupsFolder();

// The port as its records name it: COMn for one named so, or for a device
// that a COMn opens (COM1 .. COM16), else the device.
QString BackupPortName(unsigned comNumber, const QString& device);
// The same from a port's name as given (--port com1 is COM1's records).
QString BackupPortOf(const QString& name);

struct BackupNote {
    QString strPort;      // as the technician named it: COM1, /dev/ttyUSB0, rfc2217://...
    QString strWhat;      // the write: "save", "apply FILE", "upgrade PACKAGE" ...
    bool bAfter = false;  // the settings after the write, else before it
    QDateTime time{};
};

struct BackupRecord {
    QString strPath;
    BackupNote note;
    QString strHardware;
    QString strSoftware;
};

// Writes a record into `folder`, whole or not at all, never over another,
// then keeps only the newest `keep` of its port. The record's path, or an
// empty string with *error in a person's words.
QString WriteBackup(const QString& folder, const CameraSettings& settings, const BackupNote& note, QString* error,
                    int keep = kBackupsKeptPerPort);

// The records in `folder` (of `port` only, when it is given), newest first.
// A file that is not a record, or was damaged, is left out and named in
// *skipped (when given) with why.
std::vector<BackupRecord> ListBackups(const QString& folder, const QString& port, QStringList* skipped);

// What a camera's settings are restored from after a recovery that began at
// `began`: the newest of `records` (newest first) kept before it. An
// after-record of an earlier recovery is passed over: it holds what the
// recovery left, not what the technician had set; so is a restore's
// before-record, which holds the same when the restore was cut short.
std::optional<BackupRecord> RecordToRestore(const std::vector<BackupRecord>& records, const QDateTime& began);
