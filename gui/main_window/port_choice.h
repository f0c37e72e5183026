#pragma once

#include "core/settings/settings_backups.h"
#include "core/config/com_ports.h"
#include "gui/main_window/serial_settings.h"

#include <QString>
#include <functional>

class QComboBox;

// The port the window has chosen in its list 1007 (COM1..COM5, then the
// machine's other ports): what it is named and opens, the choice kept for
// the next start, and a chosen device that went away while open, watched
// until it is back under its name or, for an adapter chosen past COM5 and
// known by its USB serial number, under a new one.
class CPortChoice final {
public:
    struct Window {
        std::function<QComboBox*()> list;               // once the window has made it
        std::function<void(const QString& device)> shown; // what the choice opens, each time the list shows it
        std::function<void(int baud)> rate;             // a camera answered there at this rate last time
        std::function<void(int index)> chosen;          // an entry the choice made itself, to be opened as one clicked
    };
    // `line` holds the choice (nPort, strDevice).
    CPortChoice(Window window, LineState& line);

    // The list offers the machine's ports as they are now, and the device
    // servers' ports added before; the choice stays.
    void Refresh();
    // Asks for a device server's port (rfc2217://HOST:PORT, socket://HOST:PORT),
    // adds it to the list for good and chooses it; an address that does not
    // parse is refused in a box that says why.
    void AddNetworkPort();
    // The port chosen at the last start, when the list offers it.
    void Restore();
    // The entry chosen now becomes the choice, also for the next start, at
    // the rate a camera last answered at there.
    void Choose(int index);
    // A camera answered at the chosen port at this rate.
    void RememberRate(int baud) const;
    // The tooltips name the device each COMn opens, the list the chosen one.
    void ShowDevices();
    // The list's entry for a port (COMn, or a device the list offers); -1: none.
    int EntryOf(const NamedPort& port) const;

    // "COMn" or the device chosen past COM5, and what it resolves to.
    QString Name() const;
    NamedPort Resolved() const { return ResolvePort(Name()); }
    QString Device() const { return Resolved().strDevice; }
    // The chosen port as the records of its camera's settings name it.
    QString RecordPort() const { return BackupPortName(Resolved().nComNumber, Resolved().strDevice); }

    // The chosen adapter's serial number is looked up now, before it is opened.
    void NoteSerialNumber();
    // The chosen device went away while open: it is watched for.
    void Lost() { m_strLostDevice = Device(); }
    void ForgetLoss() { m_strLostDevice.clear(); }
    bool Watching() const { return !m_strLostDevice.isEmpty(); }
    // The lost device is there again, perhaps under a new name, which is
    // then the choice; a lost device server's port may be: the window tries it.
    bool LostDeviceBack();

private:
    void RestoreRate() const;

    Window m_window;
    LineState& m_line;
    QString m_strLostDevice;   // lost while open, not closed by the user
    QString m_strSerialNumber; // the chosen adapter's USB serial number, when it has one
};
