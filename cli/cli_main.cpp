// orvane-cli: one command per camera, for scripts and production lines.
#include "cli/cli_commands.h"
#include "core/config/printable_text.h"
#include "provision/camera_link.h"
#include "serial/line.h"
#include "serial/line_trace.h"

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
    InterruptLineOpenings(); // a connect or a server's answer is not waited for
}

bool StandardOutputIsTerminal()
{
#ifdef Q_OS_UNIX
    return isatty(STDOUT_FILENO) != 0;
#else
    return false;
#endif
}

int Run(const CliOptions& options, CliStreams& io)
{
    switch (options.command) {
    case CliOptions::Command::Help: io.out << CliHelpText() << Qt::flush; return ExitCode::Success;
    case CliOptions::Command::Version: io.out << u"orvane-cli "_s << ORVANE_VERSION << Qt::endl; return ExitCode::Success;
    case CliOptions::Command::Ports: return RunPorts(io);
    case CliOptions::Command::Read: return RunRead(options, io);
    case CliOptions::Command::Apply: return RunApply(options, io);
    case CliOptions::Command::Upgrade: return RunUpgrade(options, io);
    case CliOptions::Command::Restart: return RunRestart(options, io);
    case CliOptions::Command::Provision: return RunProvision(options, io);
    case CliOptions::Command::Scan: return RunScan(options, io);
    case CliOptions::Command::Backups: return RunBackups(options, io);
    case CliOptions::Command::Diff: return RunDiff(options, io);
    case CliOptions::Command::Doctor: return RunDoctor(options, io);
    }
    return ExitCode::Usage;
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
#ifdef SIGPIPE
    // A reader that went away ("| head") ends that output, never the command:
    // a camera left in the middle of an upgrade would answer nothing.
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef SIGXFSZ
    // A file past the size limit (ulimit -f) fails its write, which is taken
    // back and said: the signal would end the command with half a line in the
    // report and a camera in the middle of an image.
    std::signal(SIGXFSZ, SIG_IGN);
#endif

    QString error;
    const std::optional<CliOptions> options = ParseCliArguments(app.arguments().mid(1), &error);
    if (!options) {
        err << u"orvane-cli: "_s << error << u"\n(orvane-cli --help shows the usage)"_s << Qt::endl;
        return ExitCode::Usage;
    }
    CliStreams io{out, err, StandardOutputIsTerminal()};
    if (!options->strTrace.isEmpty()) {
        // Checked before any port is opened; a file that fails later costs
        // one line on stderr, never the command.
        const QString path = options->strTrace;
        std::shared_ptr<CLineTrace> trace = CLineTrace::Open(
            path,
            [path](const QString& why) {
                std::fprintf(stderr, "orvane-cli: cannot write the trace %s: %s; the command goes on untraced\n",
                             qPrintable(PrintableName(path)), qPrintable(why));
            },
            &error);
        if (!trace) {
            err << u"orvane-cli: cannot write the trace %1: %2"_s.arg(PrintableName(path), error) << Qt::endl;
            return ExitCode::Usage;
        }
        CCameraLink::TraceEveryLink(std::move(trace));
    }
    const int exitCode = Run(*options, io);
    CCameraLink::TraceEveryLink(nullptr); // the trace writes what is left before the program ends
    return exitCode;
}
