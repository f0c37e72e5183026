#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What one run of orvane-cli was asked to do.
struct CliOptions {
    enum class Command { Help, Version, Ports, Read, Apply, Upgrade, Restart, Provision, Scan, Backups, Diff, Doctor };
    Command command = Command::Help;
    QString strPort;     // a device path, or COMn mapped through config.ini
    int nBaud = 115200;
    bool bJson = false;  // read: the settings file on standard output; scan, backups: one JSON object per line
    QString strFile;     // apply, diff: the settings file; upgrade: the package
    // apply --dry-run: the writes printed, none sent
    bool bDryRun = false;
    // upgrade --recover: the camera answers no read; its boot window is waited for this long
    bool bRecover = false;
    int nRecoverWaitS = 60;
    // upgrade --recover --restore-backup: the settings kept before the recovery are applied after it
    bool bRestoreBackup = false;
    // upgrade --no-restart: the images only; the camera runs them from its next restart
    bool bNoRestart = false;
    // restart --no-wait: the restart sent, without waiting for the camera to answer again
    bool bNoWait = false;
    // provision
    QStringList ports;   // every --port, in order (provision, scan)
    QString strPortsFile;
    QString strPackage;  // --upgrade
    QString strSettings; // --apply
    QString strReport;
    bool bWatch = false; // provision --watch: cameras provisioned as they are plugged in, until Ctrl-C
    QString strTrace;    // --trace: every byte on the line appended here
};

// The arguments after the program name; nullopt with *error set when they
// make no sense (exit code 2).
std::optional<CliOptions> ParseCliArguments(const QStringList& arguments, QString* error);

QString CliHelpText();
