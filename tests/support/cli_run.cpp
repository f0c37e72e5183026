#include "cli_run.h"

#include "camera_fixture.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

Run RunCli(const QStringList& arguments, int timeoutMs, const QString& workingDir)
{
    QProcess process;
    process.setWorkingDirectory(workingDir);
    process.start(QStringLiteral(ORVANE_CLI), arguments);
    Run run;
    if (!process.waitForStarted() || !WaitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.strErr = u"did not finish"_s;
        return run;
    }
    run.nExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.strOut = QString::fromUtf8(process.readAllStandardOutput());
    run.strErr = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
}

CameraTiming QuickCamera(int flashMs)
{
    CameraTiming timing;
    timing.nRestartSilenceMs = 100;
    timing.nFlashMs = flashMs;
    return timing;
}

QString Port(CameraFixture& camera)
{
    return QString::fromStdString(camera.Camera().DevicePath());
}
