#pragma once

#include <QString>
#include <optional>
#include <vector>

// What stands between this user and a local serial device, and what fixes
// it: the device's group and mode (stat), the programs that hold it open
// (/proc/*/fd) and a modem manager that grabs new USB adapters. Each front
// end words the fix in its own language.

// The device as stat() shows it, and this user as the kernel sees this process.
struct DeviceAccessFacts {
    QString strDevice;
    QString strGroup;               // the device's group by name ("dialout", "uucp"), else its number
    unsigned nMode = 0;             // the permission bits, 0660
    bool bMayReadWrite = false;     // the kernel lets this process read and write it (faccessat)
    bool bUserOwns = false;         // this user owns the device
    bool bUserInGroup = false;      // this process has the device's group
    bool bUserListedInGroup = false; // the group lists the user: joined since this session began
    QString strUser;                // this user's login name
    QString strUsbId;               // the adapter's "vendor:product", when it is a USB one
    bool bPseudoTerminal = false;   // a pseudo-terminal: a session's, which no group or udev rule governs
};

DeviceAccessFacts AccessFactsOf(const QString& device, const QString& usbId);

// What lets this user read and write the device.
struct AccessFix {
    enum class Kind {
        None,       // this user may read and write it
        JoinGroup,  // the group may read and write it: join the group, log in again
        LogInAgain, // joined, but this session began before: log in again
        UdevRule,   // no group this user may join lets it (mode 0600, group root or tty, the owner
                    // without rights): a udev rule gives the device a group and mode that do, then join
        OtherSession, // a pseudo-terminal of another session: only its owner (or root) may use it
    };
    Kind kind = Kind::None;
    QString strGroup; // the group to join (JoinGroup, LogInAgain, UdevRule)
    QString strUser;
    QString strRule;  // UdevRule: the rule's line for this adapter
};

AccessFix AccessFixFor(const DeviceAccessFacts& facts);

// Where a udev rule for serial adapters goes.
inline constexpr char16_t kUdevRulesFile[] = u"/etc/udev/rules.d/70-orvane-serial.rules";

// The udev rule line for the adapter with this "vendor:product" (or,
// without one, for the device's kernel name): it gives `group` read and
// write (none when empty), and adds `extra` (a property a modem manager heeds).
QString UdevRuleLine(const QString& usbId, const QString& device, const QString& group,
                     const QString& extra = QString());

// The fix in English, for the command line: one or more "hint: " lines.
QString AccessFixText(const AccessFix& fix, const QString& device);

// A process that holds a device open.
struct PortHolder {
    qint64 nPid = 0;
    QString strProgram; // its name (/proc/PID/comm)
};

struct PortHolders {
    std::vector<PortHolder> holders;
    int nUnreadable = 0; // processes whose open files this user may not read (other users')
};

// The processes but this one that hold `device` open.
PortHolders HoldersOf(const QString& device);

// "minicom (pid 4711), picocom (pid 4712)".
QString HoldersText(const std::vector<PortHolder>& holders);

// The pid of a running ModemManager, which probes new USB serial adapters
// for about ten seconds and holds them meanwhile.
std::optional<qint64> ModemManagerPid();

// The udev property that makes ModemManager leave an adapter alone.
inline constexpr char16_t kModemManagerIgnore[] = u"ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
