#include "tests/support/cli_run.h"

#include "tests/support/camera_fixture.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

Run RunCli(const QStringList& arguments, int timeoutMs, const QString& workingDir,
           const std::function<void(QProcess&)>& setup)
{
    QProcess process;
    process.setProgram(QStringLiteral(ORVANE_CLI));
    process.setArguments(arguments);
    process.setWorkingDirectory(workingDir);
    if (setup)
        setup(process);
    process.start();
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

QString CliBesideConfig(const QTemporaryDir& dir, const QByteArray& configIni)
{
    const QString program = dir.filePath(u"orvane-cli"_s);
    if (!QFile::exists(program) && !QFile::copy(QStringLiteral(ORVANE_CLI), program))
        qFatal("cannot copy orvane-cli to %s", qPrintable(program));
    WriteFile(dir, u"config.ini"_s, configIni);
    return program;
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

bool OnlyReadCommands(const std::string& received)
{
    static const QRegularExpression reads(u"^(r [0-9A-F]{4} \\r\\n)*$"_s);
    return reads.match(QString::fromStdString(received)).hasMatch();
}

CameraFaults BrokenFirmware()
{
    CameraFaults faults;
    faults.bBrokenFirmware = true;
    return faults;
}
