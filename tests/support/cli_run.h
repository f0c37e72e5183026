#pragma once

#include "camera_model.h"

#include <QString>
#include <QStringList>

class CameraFixture;
class QTemporaryDir;

// One run of orvane-cli as the build made it.
struct Run {
    int nExitCode = -1;
    QString strOut;
    QString strErr;
};

// Runs orvane-cli with the arguments, processing events meanwhile, so the
// simulated cameras keep answering; "did not finish" when it ran too long.
Run RunCli(const QStringList& arguments, int timeoutMs = 60000, const QString& workingDir = QString());

// Writes the bytes to a file of that name in `dir` and returns its path.
QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);

// A camera that takes the first upgrade request 100 ms after its restart.
CameraTiming QuickCamera(int flashMs = CameraTiming{}.nFlashMs);

// The simulated camera's device, as --port names it.
QString Port(CameraFixture& camera);
