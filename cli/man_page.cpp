#include "cli/man_page.h"

#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

// Text as man(7) shows it as written: a backslash and a hyphen escaped, a
// line that would start with a request made plain.
QString Roff(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\\', u"\\e"_s).replace(u'-', u"\\-"_s);
    QStringList lines = escaped.split(u'\n');
    for (QString& line : lines) {
        if (line.startsWith(u'.') || line.startsWith(u'\''))
            line.prepend(u"\\&"_s);
    }
    return lines.join(u'\n');
}

QString Header(const QString& name, const QString& version, const QString& summary)
{
    // Not hyphenated: an option split across two lines could not be searched for.
    return u".TH %1 1 \"\" \"%2 %3\" \"User Commands\"\n.nh\n.SH NAME\n%2 \\- %4\n"_s.arg(
        Roff(name.toUpper()), Roff(name), Roff(version), Roff(summary));
}

// The sections both pages share.
QString FilesAndEnvironment()
{
    return uR"(.SH FILES
.TP
.I config.ini
Beside the program, else
.IR ~/.config/orvane\-config/config.ini :
the [Ports] section maps COM1..COM16 to devices or device servers
(COM3=/dev/ttyUSB0, COM4=rfc2217://10.0.0.5:4001); [PathInfo] holds the
window's language (UiLanguage=en or zh) and the camera's OSD language.
.TP
.I ~/.local/share/orvane\-config/backups/
The records of every camera's settings before and after each write, the
newest 200 per port; each is a settings file that
.B orvane\-cli apply
takes back.
.TP
.I ~/.local/share/orvane\-config/upgrade.log
The kept log of every upgrade, time\-stamped.
.SH ENVIRONMENT
.TP
.B ORVANE_BACKUPS
The folder for the records of the settings, instead of the one above.
.TP
.BR XDG_CONFIG_HOME ", " XDG_DATA_HOME
Where the per\-user folders above are, when set.
)"_s;
}

struct HelpParts {
    QString usage;
    QStringList description;
    // "Commands", "Options": each entry's term and its words.
    QList<std::pair<QString, QList<std::pair<QString, QString>>>> lists;
    QString exitCodes;
};

// --help's text taken apart: its usage line, the paragraph under it, each
// list of terms and the exit codes.
HelpParts ReadHelp(const QString& help)
{
    static const QRegularExpression termAndWords(u"^  (\\S.*?)(?:\\s{2,}(\\S.*))?$"_s);
    HelpParts parts;
    bool inExitCodes = false;
    for (const QString& line : help.split(u'\n')) {
        if (line.startsWith(u"Usage: "_s)) {
            parts.usage = line.mid(7);
        } else if (line.startsWith(u"Exit codes:"_s) || inExitCodes) {
            inExitCodes = true;
            parts.exitCodes += (parts.exitCodes.isEmpty() ? QString() : u"\n"_s) + line.section(u"Exit codes: "_s, -1);
        } else if (line.endsWith(u':') && !line.startsWith(u' ')) {
            parts.lists.append({line.chopped(1), {}});
        } else if (!parts.lists.isEmpty() && line.startsWith(u"   "_s)) {
            QString& words = parts.lists.last().second.last().second;
            words += (words.isEmpty() ? QString() : u"\n"_s) + line.trimmed();
        } else if (const QRegularExpressionMatch entry = termAndWords.match(line);
                   !parts.lists.isEmpty() && entry.hasMatch()) {
            parts.lists.last().second.append({entry.captured(1), entry.captured(2)});
        } else if (parts.lists.isEmpty() && !line.isEmpty()) {
            parts.description.append(line);
        }
    }
    return parts;
}

} // namespace

QString CliManPage(const QString& help, const QString& version)
{
    const HelpParts parts = ReadHelp(help);
    QString page = Header(u"orvane-cli"_s, version, u"set up Orvane HD cameras over a serial line"_s);
    page += u".SH SYNOPSIS\n.B orvane\\-cli\n"_s + Roff(parts.usage.section(u' ', 1)) + u'\n';
    page += u".SH DESCRIPTION\n"_s + Roff(parts.description.join(u'\n')) + u'\n';
    page += u"The ports are devices of this machine, COMn as config.ini maps them, or a serial device "
            "server's port (rfc2217://HOST:PORT, socket://HOST:PORT).\n"_s;
    for (const auto& [title, entries] : parts.lists) {
        page += u".SH "_s + Roff(title.toUpper()) + u'\n';
        for (const auto& [term, words] : entries)
            page += u".TP\n.B "_s + Roff(term) + u'\n' + Roff(words) + u'\n';
    }
    page += u".SH EXIT STATUS\n"_s + Roff(parts.exitCodes) + u'\n';
    page += FilesAndEnvironment();
    page += uR"(.SH EXAMPLES
.TP
.B orvane\-cli \-\-port /dev/ttyUSB0 read
The camera's settings, by name.
.TP
.B orvane\-cli \-\-port /dev/ttyUSB0 read \-\-json > tunnel.json
A settings file, to edit and apply to other cameras.
.TP
.B orvane\-cli \-\-port COM3 apply \-\-dry\-run tunnel.json
The writes the file would send, sending none.
.TP
.B orvane\-cli \-\-port /dev/ttyUSB0 upgrade \-\-recover cam.pkg \-\-restore\-backup
Recover a camera whose firmware does not start, then write back its kept settings.
.TP
.B orvane\-cli scan
Every port of the machine searched for a camera at every rate.
.TP
.B orvane\-cli doctor
Why a port does not open, and how to fix it.
.TP
.B orvane\-cli \-\-port rfc2217://10.0.0.5:4001 read
A camera behind a serial device server.
.SH SEE ALSO
.BR orvane\-config (1)
)"_s;
    return page;
}

QString WindowManPage(const QString& version)
{
    QString page = Header(u"orvane-config"_s, version, u"set up Orvane HD cameras over a serial line, in a window"_s);
    page += uR"(.SH SYNOPSIS
.B orvane\-config
.SH DESCRIPTION
The window a technician sets up a camera with: choose the port and its
rate, open the port, and the camera's registers are read onto three pages:
the image parameters; the camera's on\-screen menu and video format; the
firmware upgrade, with its progress and a time\-stamped log. Save writes the
pages back and reads the camera again.
.PP
The context menu (right\-click in the window) finds a camera on every port
at every rate, exports and imports settings files, restores a kept record
of the settings, traces the line to a file, adds a serial device server's
port (rfc2217://HOST:PORT, socket://HOST:PORT) to the port list, and
switches the window between Chinese and English.
.PP
The window takes no arguments of its own beyond those of Qt
(\-platform, \-style).
)"_s;
    page += FilesAndEnvironment();
    page += uR"(.TP
.B QT_QPA_PLATFORM
The window system Qt draws on (xcb, wayland, offscreen).
.SH EXAMPLES
.TP
.B orvane\-config
Opens the window.
.TP
.B orvane\-cli doctor
When the port does not open: why, and how to fix it.
.SH SEE ALSO
.BR orvane\-cli (1)
)"_s;
    return page;
}
