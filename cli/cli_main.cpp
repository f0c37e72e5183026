// orvane-cli: one command per camera, for scripts and production lines.
#include "cli/camera_link.h"
#include "cli/cli_commands.h"
#include "common/message_box.h"

#include <QCoreApplication>
#include <QTextStream>
#include <csignal>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

void OnInterrupt(int)
{
    CCameraLink::s_bInterrupted = true;
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
    // What the port would show in a box goes to standard error.
    SetMessageBoxHandler([&err](const QString& text, const QString& caption, MessageIcon) {
        err << u"orvane-cli: "_s << caption << u": "_s << text.trimmed() << Qt::endl;
    });
    std::signal(SIGINT, OnInterrupt);

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
    }
    return ExitCode::Usage;
}
