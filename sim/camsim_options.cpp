#include "sim/camsim_options.h"

#include <cstdlib>
#include <functional>
#include <map>

namespace {

bool ToNumber(const std::string& text, int base, long* value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    *value = std::strtol(text.c_str(), &end, base);
    return *end == '\0';
}

} // namespace

std::string CamsimHelp()
{
    return "Usage: orvane-camsim [options]\n"
           "Simulates an Orvane HD camera on a pseudo-terminal and prints the device path;\n"
           "point the configuration tool's COM port at it ([Ports] COM1=<path> in config.ini).\n"
           "\n"
           "Line:\n"
           "  --link PATH            also make a symbolic link PATH to the device\n"
           "  --no-pacing            answer at once instead of at the line rate the host set\n"
           "                         on the terminal (10 bit times per byte)\n"
           "  --register ADDR=VALUE  power-on value of a register, both hexadecimal (repeatable)\n"
           "Upgrade:\n"
           "  --restart-silence MS   deaf and dumb for MS after a restart (default 1500)\n"
           "  --upgrade-window MS     then answers \"*****\" with 'A' for MS (default 5000)\n"
           "  --flash-time MS        time between 'S' and 'D' for a received image (default 300)\n"
           "  --capture-dir DIR      write every received image to DIR/image-<n>-type<t>.bin\n"
           "Faults:\n"
           "  --reply-delay MS       answer every read command MS late\n"
           "  --mute                 never answer a read command\n"
           "  --drop-every N         drop every Nth reply character\n"
           "  --extra-every N        add an 'x' after every Nth reply character\n"
           "  --garble-every N       turn every Nth reply character into '?'\n"
           "  --upgrade-error CODE   answer every image with CODE (E001, E002, E003, E004, E010)\n"
           "  --vanish-after N       close the terminal after N bytes from the host\n"
           "  --flood                send a steady stream of 'x' at the line rate\n"
           "  --help                 show this text\n";
}

bool ParseCamsimOptions(const std::vector<std::string>& args, CamsimOptions* options, std::string* error)
{
    using Setter = std::function<bool(const std::string&)>;
    const auto number = [](auto* field) {
        return Setter([field](const std::string& text) {
            long value = 0;
            if (!ToNumber(text, 10, &value) || value < 0)
                return false;
            *field = static_cast<std::remove_pointer_t<decltype(field)>>(value);
            return true;
        });
    };
    const auto text = [](std::string* field) {
        return Setter([field](const std::string& value) {
            *field = value;
            return !value.empty();
        });
    };
    const std::map<std::string, Setter> withValue = {
        {"--link", text(&options->pty.strLinkPath)},
        {"--capture-dir", text(&options->strCaptureDir)},
        {"--upgrade-error", text(&options->faults.strUpgradeError)},
        {"--restart-silence", number(&options->timing.nRestartSilenceMs)},
        {"--upgrade-window", number(&options->timing.nUpgradeWindowMs)},
        {"--flash-time", number(&options->timing.nFlashMs)},
        {"--reply-delay", number(&options->faults.nReplyDelayMs)},
        {"--drop-every", number(&options->faults.nDropEvery)},
        {"--extra-every", number(&options->faults.nExtraEvery)},
        {"--garble-every", number(&options->faults.nGarbleEvery)},
        {"--vanish-after", number(&options->pty.nVanishAfterBytes)},
        {"--register", [options](const std::string& value) {
             const std::size_t eq = value.find('=');
             long address = 0;
             long content = 0;
             if (eq == std::string::npos || !ToNumber(value.substr(0, eq), 16, &address)
                 || !ToNumber(value.substr(eq + 1), 16, &content) || address < 0 || address > 0xFFFF
                 || content < 0 || content > 0xFF)
                 return false;
             options->registers.emplace_back(static_cast<int>(address), static_cast<int>(content));
             return true;
         }},
    };
    const std::map<std::string, bool*> flags = {
        {"--mute", &options->faults.bMute},
        {"--flood", &options->bFlood},
        {"--help", &options->bHelp},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--no-pacing") {
            options->pty.bPaced = false;
        } else if (const auto flag = flags.find(arg); flag != flags.end()) {
            *flag->second = true;
        } else if (const auto setter = withValue.find(arg); setter != withValue.end()) {
            if (i + 1 >= args.size() || !setter->second(args[i + 1])) {
                *error = "bad or missing value for " + arg;
                return false;
            }
            ++i;
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}
