#include "cli/cli_options.h"

#include "core/config/com_ports.h"
#include "serial/line_settings.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

struct CommandName {
    const char16_t* name;
    CliOptions::Command command;
    bool bNeedsPort;
    bool bNeedsFile;
};

constexpr CommandName kCommands[] = {
    {u"ports", CliOptions::Command::Ports, false, false},
    {u"read", CliOptions::Command::Read, true, false},
    {u"apply", CliOptions::Command::Apply, true, true},
    {u"upgrade", CliOptions::Command::Upgrade, true, true},
    {u"restart", CliOptions::Command::Restart, true, false},
    {u"provision", CliOptions::Command::Provision, false, false},
    {u"scan", CliOptions::Command::Scan, false, false},
    {u"backups", CliOptions::Command::Backups, false, false},
    {u"diff", CliOptions::Command::Diff, true, true},
    {u"doctor", CliOptions::Command::Doctor, false, false},
};

constexpr int kRecoverWaitMaxS = 3600;

// The options only provision takes, with a value each.
struct ProvisionOption {
    const char16_t* name;
    QString CliOptions::*field;
};

constexpr ProvisionOption kProvisionOptions[] = {
    {u"--ports-file", &CliOptions::strPortsFile},
    {u"--upgrade", &CliOptions::strPackage},
    {u"--apply", &CliOptions::strSettings},
    {u"--report", &CliOptions::strReport},
};

// What is wrong with the options of provision, or nothing.
QString ProvisionProblem(const CliOptions& options)
{
    if (options.ports.isEmpty() && options.strPortsFile.isEmpty())
        return u"provision needs --port (once per camera) or --ports-file"_s;
    if (options.strPackage.isEmpty() && options.strSettings.isEmpty())
        return u"provision needs --upgrade PACKAGE, --apply SETTINGS or both"_s;
    return QString();
}

} // namespace

QString CliHelpText()
{
    return u"Usage: orvane-cli [--port P] [--baud B] [--trace FILE] COMMAND [ARGUMENT]\n"
           "\n"
           "Sets up Orvane HD cameras over a serial line, one command per camera.\n"
           "\n"
           "Commands:\n"
           "  ports              list the machine's serial ports and config.ini's COMn mapping\n"
           "  read [--json]      read the camera's settings; --json prints a settings file\n"
           "  apply FILE         write a settings file to the camera, read back and compare;\n"
           "                     --dry-run: print the writes it would send, and send none\n"
           "  diff FILE [--json]\n"
           "                     read the camera and print each setting that differs from the\n"
           "                     file (exit 0: none, 1: some differ)\n"
           "  backups [--json]   list the records of the camera's settings kept before and after\n"
           "                     every write, newest first (--port P: of that port only); apply\n"
           "                     one with 'apply PATH'\n"
           "  upgrade PACKAGE    send the images of an upgrade package the camera does not run,\n"
           "                     restart it and verify that it reports the versions the images\n"
           "                     name; --no-restart: send the images only (the camera runs them\n"
           "                     from its next restart)\n"
           "  upgrade --recover PACKAGE\n"
           "                     recover a camera that answers no read: requests go out every\n"
           "                     0.1 s while you power the camera off and on, then every image\n"
           "                     is sent and the camera is restarted and verified;\n"
           "                     --recover-wait SECONDS: how long to ask (default 60);\n"
           "                     --restore-backup: then apply the newest record of the port's\n"
           "                     settings kept before the recovery, read back and compare\n"
           "  restart            restart the camera, wait until it answers a read again (up to\n"
           "                     30 s) and print its versions; --no-wait: send the restart only\n"
           "  scan [--json]      look for a camera at every rate on each --port (without one, on\n"
           "                     every port of the machine and every COMn in config.ini)\n"
           "  doctor [--json]    check each --port (without one, every port of the machine and\n"
           "                     every COMn in config.ini): the device, this user's access and\n"
           "                     its fix, other programs that hold it, a modem manager, whether\n"
           "                     it opens and a camera answers at --baud (exit 0: all answer)\n"
           "  provision          set up every camera given with --port at once, each on its own:\n"
           "                     --upgrade PACKAGE: send the images it does not run, restart it\n"
           "                       and verify that it reports the versions the images name;\n"
           "                     --apply SETTINGS: write the settings, read back and compare;\n"
           "                     --ports-file FILE: more ports, one per line (# starts a comment);\n"
           "                     --report FILE: append one JSON line per camera;\n"
           "                     --watch: keep running: each port is probed every second (a\n"
           "                       read of register 0x1F), a camera that answers twice in a row\n"
           "                       is set up, and the port waits until it stops answering (3\n"
           "                       probes) before the next; Ctrl-C ends with the summary\n"
           "\n"
           "Options:\n"
           "  --port P           the camera's port: a device (/dev/ttyUSB0, COM3 on Windows),\n"
           "                     a device server's port (rfc2217://HOST:PORT, socket://HOST:PORT)\n"
           "                     or COMn as mapped in config.ini's [Ports] section (provision:\n"
           "                     once per camera)\n"
           "  --baud B           the line rate (default 115200)\n"
           "  --trace FILE       append every byte sent and received, with the time and the\n"
           "                     port, to FILE (image data as one line per piece)\n"
           "  --help, --version  print this help, or the program's version\n"
           "\n"
           "Exit codes: 0 success (provision: every camera), 1 the camera or the port failed\n"
           "(provision: any camera), 2 bad usage, a bad settings file or package (nothing sent).\n"_s;
}

std::optional<CliOptions> ParseCliArguments(const QStringList& arguments, QString* error)
{
    CliOptions options;
    bool recoverWaitGiven = false;
    const CommandName* command = nullptr;
    QStringList operands;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) {
                *error = argument + u" needs a value"_s;
                return std::nullopt;
            }
            // An empty value is a script's unset variable, never a choice:
            // an empty --trace used to trace nothing without a word.
            if (arguments[++i].isEmpty()) {
                *error = argument + u" needs a value, not an empty one"_s;
                return std::nullopt;
            }
            return arguments[i];
        };
        if (argument == u"--help" || argument == u"-h") {
            options.command = CliOptions::Command::Help;
            return options;
        }
        if (argument == u"--version") {
            options.command = CliOptions::Command::Version;
            return options;
        }
        if (argument == u"--json") {
            options.bJson = true;
        } else if (argument == u"--recover") {
            options.bRecover = true;
        } else if (argument == u"--restore-backup") {
            options.bRestoreBackup = true;
        } else if (argument == u"--no-restart") {
            options.bNoRestart = true;
        } else if (argument == u"--no-wait") {
            options.bNoWait = true;
        } else if (argument == u"--watch") {
            options.bWatch = true;
        } else if (argument == u"--dry-run") {
            options.bDryRun = true;
        } else if (argument == u"--recover-wait") {
            const std::optional<QString> seconds = value();
            if (!seconds)
                return std::nullopt;
            bool number = false;
            options.nRecoverWaitS = seconds->toInt(&number);
            if (!number || options.nRecoverWaitS < 1 || options.nRecoverWaitS > kRecoverWaitMaxS) {
                *error = u"--recover-wait %1: not a number of seconds from 1 to %2"_s.arg(*seconds).arg(kRecoverWaitMaxS);
                return std::nullopt;
            }
            recoverWaitGiven = true;
        } else if (argument == u"--port") {
            const std::optional<QString> port = value();
            if (!port)
                return std::nullopt;
            if (const QString problem = PortNameProblem(*port); !problem.isEmpty()) {
                *error = problem;
                return std::nullopt;
            }
            options.strPort = *port;
            options.ports.append(*port);
        } else if (const auto* provisionOption = std::find_if(std::begin(kProvisionOptions), std::end(kProvisionOptions),
                                                              [&](const ProvisionOption& o) { return argument == QStringView(o.name); });
                   provisionOption != std::end(kProvisionOptions)) {
            const std::optional<QString> file = value();
            if (!file)
                return std::nullopt;
            options.*provisionOption->field = *file;
        } else if (argument == u"--trace") {
            const std::optional<QString> file = value();
            if (!file)
                return std::nullopt;
            options.strTrace = *file;
        } else if (argument == u"--baud") {
            const std::optional<QString> baud = value();
            if (!baud)
                return std::nullopt;
            bool number = false;
            options.nBaud = baud->toInt(&number);
            if (!number || !BuildLineSettings(options.nBaud, 'N', 8, 1)) {
                *error = u"--baud %1: not a line rate (a whole number above 0, e.g. 115200)"_s.arg(*baud);
                return std::nullopt;
            }
        } else if (argument.startsWith(u'-')) {
            *error = u"unknown option "_s + argument;
            return std::nullopt;
        } else if (!command) {
            for (const CommandName& candidate : kCommands) {
                if (argument == QStringView(candidate.name))
                    command = &candidate;
            }
            if (!command) {
                *error = u"unknown command "_s + argument;
                return std::nullopt;
            }
        } else {
            operands.append(argument);
        }
    }
    if (!command) {
        *error = u"no command given"_s;
        return std::nullopt;
    }
    options.command = command->command;
    const bool provision = options.command == CliOptions::Command::Provision;
    const bool manyPorts = provision || options.command == CliOptions::Command::Scan
                           || options.command == CliOptions::Command::Doctor;
    if (provision) {
        if (const QString problem = ProvisionProblem(options); !problem.isEmpty()) {
            *error = problem;
            return std::nullopt;
        }
    } else if (options.ports.size() > 1 && !manyPorts) {
        *error = u"only provision, scan and doctor take more than one --port"_s;
        return std::nullopt;
    } else if (!QString(options.strPortsFile + options.strPackage + options.strSettings + options.strReport).isEmpty()) {
        *error = u"--ports-file, --upgrade, --apply and --report go with provision only"_s;
        return std::nullopt;
    }
    if (command->bNeedsPort && options.strPort.isEmpty()) {
        *error = QStringView(command->name).toString() + u" needs --port"_s;
        return std::nullopt;
    }
    if (operands.size() != (command->bNeedsFile ? 1 : 0)) {
        *error = command->bNeedsFile ? QStringView(command->name).toString() + u" needs one file"_s
                                     : u"unexpected argument "_s + operands.value(0);
        return std::nullopt;
    }
    using enum CliOptions::Command;
    if (options.bJson && options.command != Read && options.command != Scan && options.command != Backups
        && options.command != Diff && options.command != Doctor) {
        *error = u"--json goes with read, scan, diff, backups and doctor only"_s;
        return std::nullopt;
    }
    if (options.bWatch && options.command != Provision) {
        *error = u"--watch goes with provision only"_s;
        return std::nullopt;
    }
    if (options.bDryRun && options.command != Apply) {
        *error = u"--dry-run goes with apply only"_s;
        return std::nullopt;
    }
    if ((options.bRecover || recoverWaitGiven) && options.command != CliOptions::Command::Upgrade) {
        *error = u"--recover and --recover-wait go with upgrade only"_s;
        return std::nullopt;
    }
    if (options.bNoRestart && (options.command != CliOptions::Command::Upgrade || options.bRecover)) {
        *error = u"--no-restart goes with upgrade only, not with --recover (a recovered camera is always restarted "
                 "and verified)"_s;
        return std::nullopt;
    }
    if (options.bNoWait && options.command != CliOptions::Command::Restart) {
        *error = u"--no-wait goes with restart only"_s;
        return std::nullopt;
    }
    if ((recoverWaitGiven || options.bRestoreBackup) && !options.bRecover) {
        *error = recoverWaitGiven ? u"--recover-wait goes with --recover"_s
                                  : u"--restore-backup goes with upgrade --recover"_s;
        return std::nullopt;
    }
    options.strFile = operands.value(0);
    return options;
}
