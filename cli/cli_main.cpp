// orvane-cli: one command per camera, for scripts and production lines.
#include "cli/camera_link.h"
#include "cli/cli_commands.h"

#include <QCoreApplication>
#include <QTextStream>
#include <chrono>
#include <csignal>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

#ifdef SIGHUP
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
#else
constexpr int kStopSignals[] = {SIGINT, SIGTERM};
#endif

void OnInterrupt(int)
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    CCameraLink::OnInterrupt(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool StandardOutputIsTerminal()
{
#ifdef Q_OS_UNIX
    return isatty(STDOUT_FILENO) != 0;
#else
    return false;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"orvane-cli"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Ctrl-C, and the ends that timeout, systemd and a closed terminal send,
    // stop a command where it can release the camera.
    for (const int signal : kStopSignals)
        std::signal(signal, OnInterrupt);

    QString error;
    const std::optional<CliOptions> options = ParseCliArguments(app.arguments().mid(1), &error);
    if (!options) {
        err << u"orvane-cli: "_s << error << u"\n(orvane-cli --help shows the usage)"_s << Qt::endl;
        return ExitCode::Usage;
    }
    CliStreams io{out, err, StandardOutputIsTerminal()};
    switch (options->command) {
    case CliOptions::Command::Help: out << CliHelpText() << Qt::flush; return ExitCode::Success;
    case CliOptions::Command::Version: out << u"orvane-cli "_s << ORVANE_VERSION << Qt::endl; return ExitCode::Success;
    case CliOptions::Command::Ports: return RunPorts(io);
    case CliOptions::Command::Read: return RunRead(*options, io);
    case CliOptions::Command::Apply: return RunApply(*options, io);
    case CliOptions::Command::Upgrade: return RunUpgrade(*options, io);
    case CliOptions::Command::Restart: return RunRestart(*options, io);
    case CliOptions::Command::Provision: return RunProvision(*options, io);
    case CliOptions::Command::Scan: return RunScan(*options, io);
    }
    return ExitCode::Usage;
}
