#pragma once

#include "sim/camera_model.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

class CameraFixture;
class QProcess;
class QTemporaryDir;

// One run of orvane-cli as the build made it.
struct Run {
    int nExitCode = -1;
    QString strOut;
    QString strErr;
};

// Runs orvane-cli with the arguments, processing events meanwhile, so the
// simulated cameras keep answering; "did not finish" when it ran too long.
// `setup` may change the process before it starts (another copy of the
// program, something done in the child before it runs).
Run RunCli(const QStringList& arguments, int timeoutMs = 60000, const QString& workingDir = QString(),
           const std::function<void(QProcess&)>& setup = {});

// A copy of orvane-cli in `dir` with this config.ini beside it; its path.
QString CliBesideConfig(const QTemporaryDir& dir, const QByteArray& configIni);

// Writes the bytes to a file of that name in `dir` and returns its path.
QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);

// A camera that takes the first upgrade request 100 ms after its restart.
CameraTiming QuickCamera(int flashMs = CameraTiming{}.nFlashMs);

// Nothing but read commands: "r %04X " CR LF, one after another.
bool OnlyReadCommands(const std::string& received);

// A camera whose firmware answers nothing: it is reached only through the
// boot window of a power cycle.
CameraFaults BrokenFirmware();

// The simulated camera's device, as --port names it.
QString Port(CameraFixture& camera);
