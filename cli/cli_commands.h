#pragma once

#include "cli/cli_options.h"

#include <QTextStream>
#include <functional>

// The commands of orvane-cli; each returns the program's exit code.
namespace ExitCode {
constexpr int Success = 0;
constexpr int CameraOrPort = 1;
constexpr int Usage = 2;
} // namespace ExitCode

struct CliStreams {
    QTextStream& out;
    QTextStream& err;
    bool bTerminal = false; // standard output is a terminal: progress on one line
};

class CCameraLink;
class QDateTime;
class QThread;

// A link whose port errors go to standard error as "orvane-cli: ..." lines.
std::function<void(const QString&)> ErrorLines(CliStreams& io);

int RunPorts(CliStreams& io);
int RunRead(const CliOptions& options, CliStreams& io);
int RunApply(const CliOptions& options, CliStreams& io);
// The settings file at `path` written to the camera on the options' port as
// apply writes it (kept as the write `what`), read back and compared.
int ApplySettingsFile(const QString& path, const QString& what, const CliOptions& options, CliStreams& io);
// apply --dry-run: the writes a file would make, register by register; none is sent.
int RunApplyDryRun(const CliOptions& options, CliStreams& io);
// The records kept of the camera's settings around each write, newest first.
int RunBackups(const CliOptions& options, CliStreams& io);
// Each setting the camera has otherwise than the file; exit 1 when any differs.
int RunDiff(const CliOptions& options, CliStreams& io);
// After a recovery that began at `began`: the newest record of `recordPort`'s
// settings kept before it, applied and read back; exit 1 when there is none.
int RestoreKeptSettings(const QString& recordPort, const QDateTime& began, const CliOptions& options, CliStreams& io);
int RunUpgrade(const CliOptions& options, CliStreams& io);
int RunRestart(const CliOptions& options, CliStreams& io);
int RunScan(const CliOptions& options, CliStreams& io);
// Each port's device, access, holders, modem manager, opening and camera; exit 1 unless all answer.
int RunDoctor(const CliOptions& options, CliStreams& io);
// `prepareThread` is given each camera's thread (by the camera's index)
// before it starts: a test makes a start fail through it.
int RunProvision(const CliOptions& options, CliStreams& io,
                 const std::function<void(int camera, QThread& thread)>& prepareThread = {});

// Shared by the commands: opens the port and reads the camera, and reads a
// whole regular, non-empty file of at most maxBytes; each false after saying why.
bool OpenAndRead(CCameraLink& link, const CliOptions& options, CliStreams& io);
// The link's failure, "orvane-cli: ERROR", then its next step when it has one.
void TellLinkFailure(const CCameraLink& link, const QString& error, CliStreams& io);
bool ReadInputFile(const QString& path, qint64 maxBytes, QByteArray* bytes, CliStreams& io);
