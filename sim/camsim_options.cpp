#include "sim/camsim_options.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>

namespace {

// Digits only (no sign, no prefix, no blanks), within 0..max.
bool ToNumber(const std::string& text, int base, long max, long* value)
{
    if (text.empty() || text.find_first_not_of(base == 16 ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
        return false;
    errno = 0;
    *value = std::strtol(text.c_str(), nullptr, base);
    return errno == 0 && *value <= max;
}

constexpr int kMostCameras = 64;
constexpr int kSlowestRate = 50;
constexpr int kFastestRate = 4'000'000;

} // namespace

std::string CamsimHelp()
{
    return "Usage: orvane-camsim [options]\n"
           "Simulates an Orvane HD camera on a pseudo-terminal and prints the device path;\n"
           "point the configuration tool's COM port at it ([Ports] COM1=<path> in config.ini).\n"
           "\n"
           "Line:\n"
           "  --count N              N cameras at once, each on its own pseudo-terminal (one\n"
           "                         device line each); the other options apply to every one\n"
           "  --link PATH            also make a symbolic link PATH to the device (one camera)\n"
           "  --no-pacing            answer at once instead of at the line rate the host set\n"
           "                         on the terminal (10 bit times per byte)\n"
           "  --register ADDR=VALUE  power-on value of a register, both hexadecimal (repeatable)\n"
           "  --echo                 send every byte from the host back to it, as a two-wire\n"
           "                         RS-485 adapter that hears itself does\n"
           "  --baud B               the camera's own rate: what the host sends at any other\n"
           "                         rate is not understood and goes unanswered (default: any)\n"
           "  --power-cycle-after MS power-cycle every camera once, MS after it started;\n"
           "                         SIGUSR1 power-cycles every camera at any time. Either\n"
           "                         prints \"orvane-camsim: power cycle\"\n"
           "Upgrade:\n"
           "  --restart-silence MS   deaf and dumb for MS after a restart (default 1500)\n"
           "  --upgrade-window MS     then answers \"*****\" with 'A' for MS (default 5000)\n"
           "  --flash-time MS        time between 'S' and 'D' for a received image (default 300;\n"
           "                         0 answers both as the last byte arrives)\n"
           "  --capture-dir DIR      write every received image to DIR/image-<n>-type<t>.bin\n"
           "                         (camera<k>-image-... with --count)\n"
           "  An elf or sof image that begins with its file name (\"cam_V1.4.elf.flash\", then\n"
           "  NUL or LF) is run after the next restart: the camera reports version V1.4.\n"
           "  --keep-version         report the old versions after every image and restart\n"
           "  --broken-firmware      answer no read, store no write, ignore restarts and\n"
           "                         \"*****\" until a power cycle; an image flashed in the\n"
           "                         boot window after it ('D') mends the camera\n"
           "Faults:\n"
           "  --reply-delay MS       answer every read command MS late\n"
           "  --mute                 never answer a read command\n"
           "  --drop-every N         drop every Nth reply character\n"
           "  --extra-every N        add an 'x' after every Nth reply character\n"
           "  --garble-every N       turn every Nth reply character into '?'\n"
           "  --drop-char REG[:once]    lose the last character (LF) of the answer for register\n"
           "                            REG (hexadecimal), every time or only the first time\n"
           "  --drop-reply REG[:once]   lose the whole answer for register REG\n"
           "  --garble-reply REG[:once] send the answer for register REG with '?' as its second digit\n"
           "  --upgrade-error CODE   answer every image with CODE (E001, E002, E003, E004, E010)\n"
           "  --silent-after-image   take every image and never answer it\n"
           "  --noise-in-image TEXT  send TEXT once half of an image has arrived\n"
           "  --noise-after-verdict TEXT  send TEXT right after 'D' or the error report\n"
           "  --noise-in-flash TEXT  send TEXT half way between 'S' and the verdict\n"
           "  --ignore-write ADDR    take writes to register ADDR (hexadecimal) and forget them\n"
           "  --vanish-after N       close the terminal after N bytes from the host\n"
           "  --flood                send a steady stream of 'x' at the line rate\n"
           "  --help                 show this text\n";
}

bool ParseCamsimOptions(const std::vector<std::string>& args, CamsimOptions* options, std::string* error)
{
    // Each setter answers what is wrong with the value, or nothing.
    using Setter = std::function<std::string(const std::string&)>;
    const auto number = [](auto* field) {
        return Setter([field](const std::string& text) {
            using Field = std::remove_pointer_t<decltype(field)>;
            constexpr long max = std::numeric_limits<Field>::max();
            long value = 0;
            if (!ToNumber(text, 10, max, &value))
                return "'" + text + "' is not a whole number from 0 to " + std::to_string(max);
            *field = static_cast<Field>(value);
            return std::string();
        });
    };
    const auto text = [](std::string* field) {
        return Setter([field](const std::string& value) {
            *field = value;
            return value.empty() ? std::string("an empty value") : std::string();
        });
    };
    const auto replyFault = [options](ReplyFault::Kind kind) {
        return Setter([options, kind](const std::string& value) {
            const bool once = value.ends_with(":once");
            long address = 0;
            if (!ToNumber(once ? value.substr(0, value.size() - 5) : value, 16, 0xFFFF, &address))
                return "'" + value + "' is not a register in hexadecimal (up to FFFF), optionally with :once";
            options->faults.replyFaults.push_back({kind, static_cast<int>(address), once});
            return std::string();
        });
    };
    const std::map<std::string, Setter> withValue = {
        {"--link", text(&options->pty.strLinkPath)},
        {"--capture-dir", text(&options->strCaptureDir)},
        {"--upgrade-error", text(&options->faults.strUpgradeError)},
        {"--noise-in-image", text(&options->faults.strNoiseInImage)},
        {"--noise-after-verdict", text(&options->faults.strNoiseAfterVerdict)},
        {"--noise-in-flash", text(&options->faults.strNoiseInFlash)},
        {"--restart-silence", number(&options->timing.nRestartSilenceMs)},
        {"--upgrade-window", number(&options->timing.nUpgradeWindowMs)},
        {"--flash-time", number(&options->timing.nFlashMs)},
        {"--reply-delay", number(&options->faults.nReplyDelayMs)},
        {"--drop-every", number(&options->faults.nDropEvery)},
        {"--extra-every", number(&options->faults.nExtraEvery)},
        {"--garble-every", number(&options->faults.nGarbleEvery)},
        {"--vanish-after", number(&options->pty.nVanishAfterBytes)},
        {"--count", number(&options->nCount)},
        {"--power-cycle-after", number(&options->pty.nPowerCycleAfterMs)},
        {"--baud", [options](const std::string& value) {
             long rate = 0;
             if (!ToNumber(value, 10, kFastestRate, &rate) || rate < kSlowestRate)
                 return "'" + value + "' is not a rate from " + std::to_string(kSlowestRate) + " to "
                        + std::to_string(kFastestRate) + " baud";
             options->pty.nOwnRate = static_cast<int>(rate);
             return std::string();
         }},
        {"--ignore-write", [options](const std::string& value) {
             long address = 0;
             if (!ToNumber(value, 16, 0xFFFF, &address))
                 return "'" + value + "' is not a register in hexadecimal (up to FFFF)";
             options->faults.nIgnoredWriteRegister = static_cast<int>(address);
             return std::string();
         }},
        {"--drop-char", replyFault(ReplyFault::Kind::DropChar)},
        {"--drop-reply", replyFault(ReplyFault::Kind::DropReply)},
        {"--garble-reply", replyFault(ReplyFault::Kind::Garble)},
        {"--register", [options](const std::string& value) {
             const std::size_t eq = value.find('=');
             long address = 0;
             long content = 0;
             if (eq == std::string::npos || !ToNumber(value.substr(0, eq), 16, 0xFFFF, &address)
                 || !ToNumber(value.substr(eq + 1), 16, 0xFF, &content))
                 return "'" + value + "' is not ADDR=VALUE in hexadecimal (ADDR up to FFFF, VALUE up to FF)";
             options->registers.emplace_back(static_cast<int>(address), static_cast<int>(content));
             return std::string();
         }},
    };
    const std::map<std::string, bool*> flags = {
        {"--mute", &options->faults.bMute},
        {"--silent-after-image", &options->faults.bSilentAfterImage},
        {"--flood", &options->bFlood},
        {"--echo", &options->pty.bEcho},
        {"--keep-version", &options->faults.bKeepVersion},
        {"--broken-firmware", &options->faults.bBrokenFirmware},
        {"--help", &options->bHelp},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--no-pacing") {
            options->pty.bPaced = false;
        } else if (const auto flag = flags.find(arg); flag != flags.end()) {
            *flag->second = true;
        } else if (const auto setter = withValue.find(arg); setter != withValue.end()) {
            if (i + 1 >= args.size()) {
                *error = arg + ": missing value";
                return false;
            }
            if (const std::string problem = setter->second(args[i + 1]); !problem.empty()) {
                *error = arg + ": " + problem;
                return false;
            }
            ++i;
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    if (options->nCount < 1 || options->nCount > kMostCameras) {
        *error = "--count: from 1 to " + std::to_string(kMostCameras) + " cameras";
        return false;
    }
    if (options->nCount > 1 && !options->pty.strLinkPath.empty()) {
        *error = "--link names one camera's device; it cannot go with --count";
        return false;
    }
    return true;
}
