#include "serial/port_access.h"

#include "core/config/printable_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr unsigned kGroupReadWrite = 0060;

bool ProcessHasGroup(gid_t gid)
{
    if (getegid() == gid)
        return true;
    const int count = getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
    if (count > 0 && getgroups(count, groups.data()) == count)
        return std::find(groups.begin(), groups.end(), gid) != groups.end();
    return false;
}

// The groups /etc/group gives the user now, whatever this session began with.
bool UserListedInGroup(const passwd& user, gid_t gid)
{
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) < 0)
            return false;
    }
    groups.resize(static_cast<std::size_t>(count));
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

QString ReadProcText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

// The numbers of the running processes, from /proc.
QStringList ProcessIds()
{
    QStringList pids = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    pids.removeIf([](const QString& name) {
        bool number = false;
        name.toLongLong(&number);
        return !number;
    });
    return pids;
}

// The kernel's name of a device, as udev matches it: from /sys/dev/char by
// its numbers, so that a link (/dev/serial/by-id/...) or a node made under
// another name leads to it; else the name its path ends with.
QString KernelName(const QString& device)
{
    struct stat status {};
    if (::stat(QFile::encodeName(device).constData(), &status) == 0 && S_ISCHR(status.st_mode)) {
        const QString sysfs = QFileInfo(u"/sys/dev/char/%1:%2"_s.arg(major(status.st_rdev)).arg(minor(status.st_rdev)))
                                  .canonicalFilePath();
        if (!sysfs.isEmpty())
            return QFileInfo(sysfs).fileName();
    }
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return QFileInfo(canonical.isEmpty() ? device : canonical).fileName();
}

// A group worth joining for one device: root's and tty's give far more (every
// terminal), and a group with no name cannot be joined by name.
bool Joinable(const QString& group)
{
    bool number = false;
    group.toUInt(&number);
    return !group.isEmpty() && !number && group != u"root"_s && group != u"tty"_s;
}

// Unix 98 pseudo-terminals (/dev/pts/N) have majors 136 to 143.
constexpr unsigned kFirstPtyMajor = 136;
constexpr unsigned kLastPtyMajor = 143;

} // namespace

DeviceAccessFacts AccessFactsOf(const QString& device, const QString& usbId)
{
    DeviceAccessFacts facts;
    facts.strDevice = device;
    facts.strUsbId = usbId;
    const passwd* user = getpwuid(geteuid());
    facts.strUser = user ? QString::fromLocal8Bit(user->pw_name) : QString::number(geteuid());
    struct stat status {};
    if (::stat(QFile::encodeName(device).constData(), &status) != 0)
        return facts;
    facts.nMode = status.st_mode & 0777;
    facts.bPseudoTerminal = S_ISCHR(status.st_mode) && major(status.st_rdev) >= kFirstPtyMajor
                            && major(status.st_rdev) <= kLastPtyMajor;
    const group* owningGroup = getgrgid(status.st_gid);
    facts.strGroup = owningGroup ? QString::fromLocal8Bit(owningGroup->gr_name) : QString::number(status.st_gid);
    // The kernel's own answer, ACLs and all: the mode only chooses the fix.
    facts.bMayReadWrite = ::faccessat(AT_FDCWD, QFile::encodeName(device).constData(), R_OK | W_OK, AT_EACCESS) == 0;
    facts.bUserOwns = status.st_uid == geteuid();
    facts.bUserInGroup = ProcessHasGroup(status.st_gid);
    facts.bUserListedInGroup = user && UserListedInGroup(*user, status.st_gid);
    return facts;
}

AccessFix AccessFixFor(const DeviceAccessFacts& facts)
{
    if (facts.bMayReadWrite)
        return {};
    // The owner, or a member already, is held back by something a group
    // does not change (the owner's own bits, an ACL).
    const bool groupUsable = (facts.nMode & kGroupReadWrite) == kGroupReadWrite && Joinable(facts.strGroup)
                             && !facts.bUserOwns && !facts.bUserInGroup;
    if (groupUsable) {
        return {facts.bUserListedInGroup ? AccessFix::Kind::LogInAgain : AccessFix::Kind::JoinGroup, facts.strGroup,
                facts.strUser, QString()};
    }
    if (facts.bPseudoTerminal) // no udev rule governs a session's terminal
        return {AccessFix::Kind::OtherSession, QString(), facts.strUser, QString()};
    const QString group = Joinable(facts.strGroup) ? facts.strGroup : u"dialout"_s;
    return {AccessFix::Kind::UdevRule, group, facts.strUser, UdevRuleLine(facts.strUsbId, facts.strDevice, group)};
}

QString UdevRuleLine(const QString& usbId, const QString& device, const QString& group, const QString& extra)
{
    const QString vendor = usbId.section(u':', 0, 0);
    const QString product = usbId.section(u':', 1, 1);
    const QString match = !vendor.isEmpty() && !product.isEmpty()
                              ? u"ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\""_s.arg(vendor, product)
                              : u"KERNEL==\"%1\""_s.arg(KernelName(device));
    QString line = u"SUBSYSTEM==\"tty\", "_s + match;
    if (!group.isEmpty())
        line += u", MODE=\"0660\", GROUP=\"%1\""_s.arg(group);
    return extra.isEmpty() ? line : line + u", "_s + extra;
}

QString AccessFixText(const AccessFix& fix, const QString& device)
{
    const QString join = u"sudo usermod -aG %1 %2"_s.arg(fix.strGroup, fix.strUser);
    switch (fix.kind) {
    case AccessFix::Kind::None: return QString();
    case AccessFix::Kind::JoinGroup:
        return u"hint: %1 belongs to the group %2, which may use it; add this user to it (%3), then log out and "
               "in again"_s.arg(device, fix.strGroup, join);
    case AccessFix::Kind::LogInAgain:
        return u"hint: this user is in the group %1 now, but this session began before it joined: log out and in "
               "again (or open a shell in it with 'newgrp %1')"_s.arg(fix.strGroup);
    case AccessFix::Kind::UdevRule:
        return u"hint: as %1 is set up now (its mode and group), joining a group does not let this user use it; a "
               "udev rule must give it a group that may: put this line in %2\nhint:   %3\nhint: then run 'sudo "
               "udevadm control --reload-rules && sudo udevadm trigger', replug the adapter, add this user to the "
               "group (%4) and log out and in again"_s
            .arg(device, QStringView(kUdevRulesFile).toString(), fix.strRule, join);
    case AccessFix::Kind::OtherSession:
        return u"hint: %1 is a pseudo-terminal of another user's session (or program): only its owner or root may "
               "use it; run the tool as that user"_s.arg(device);
    }
    return QString();
}

PortHolders HoldersOf(const QString& device)
{
    PortHolders found;
    const QString canonical = QFileInfo(device).canonicalFilePath();
    if (canonical.isEmpty())
        return found;
    const QByteArray wanted = QFile::encodeName(canonical);
    const QString self = QString::number(getpid());
    for (const QString& pid : ProcessIds()) {
        if (pid == self)
            continue;
        const QString fdDir = u"/proc/%1/fd"_s.arg(pid);
        const QByteArray fdPath = QFile::encodeName(fdDir);
        if (::access(fdPath.constData(), R_OK | X_OK) != 0) {
            ++found.nUnreadable;
            continue;
        }
        for (const QString& fd : QDir(fdDir).entryList(QDir::System | QDir::NoDotAndDotDot)) {
            char target[4096];
            const QByteArray link = QFile::encodeName(fdDir + u'/' + fd);
            const ssize_t length = ::readlink(link.constData(), target, sizeof target);
            if (length > 0 && QByteArray(target, length) == wanted) {
                // Any program may name itself with escape sequences.
                found.holders.push_back({pid.toLongLong(), PrintableName(ReadProcText(u"/proc/%1/comm"_s.arg(pid)))});
                break;
            }
        }
    }
    return found;
}

QString HoldersText(const std::vector<PortHolder>& holders)
{
    QStringList named;
    for (const PortHolder& holder : holders)
        named.append(u"%1 (pid %2)"_s.arg(holder.strProgram.isEmpty() ? u"?"_s : holder.strProgram).arg(holder.nPid));
    return named.join(u", "_s);
}

std::optional<qint64> ModemManagerPid()
{
    for (const QString& pid : ProcessIds()) {
        if (ReadProcText(u"/proc/%1/comm"_s.arg(pid)) == u"ModemManager"_s)
            return pid.toLongLong();
    }
    return std::nullopt;
}
