// A Linux technician's first minutes: a port this user may not open names
// the device's own group and the fix, doctor names who holds a port and
// whether a camera answers, and the manual pages and the shell completion
// follow --help.
#include "cli/cli_options.h"
#include "serial/port_access.h"
#include "tests/support/camera_fixture.h"
#include "tests/support/cli_run.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Runs orvane-cli as the user `nobody`, in no group but its own.
std::function<void(QProcess&)> AsNobody()
{
    return [](QProcess& process) {
        process.setChildProcessModifier([] {
            const passwd* nobody = getpwnam("nobody");
            if (!nobody || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
                _exit(99);
        });
    };
}

// doctor's access finding for `port`, run as nobody.
QJsonObject AccessOf(const QString& port)
{
    const Run doctor = RunCli({u"doctor"_s, u"--port"_s, port, u"--json"_s}, 60000, QString(), AsNobody());
    for (const QJsonValue& finding : QJsonDocument::fromJson(doctor.strOut.toUtf8()).object()[u"findings"_s].toArray()) {
        if (finding[u"check"_s].toString() == u"access"_s)
            return finding.toObject();
    }
    return QJsonObject();
}

// What bash completes `words` (the last one being completed) to, with the
// completion file sourced and the orvane-cli in `programDir` first on the PATH.
QStringList Completions(const QStringList& words,
                        const QString& programDir = QStringLiteral(ORVANE_CLI).section(u'/', 0, -2))
{
    QString script = u"source '%1'\nCOMP_WORDS=("_s.arg(QStringLiteral(ORVANE_COMPLETION));
    for (const QString& word : words)
        script += u" '"_s + word + u"'"_s;
    script += u")\nCOMP_CWORD=%1\n_orvane_cli\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n"_s.arg(words.size() - 1);
    QProcess bash;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PATH"_s, programDir + u':' + environment.value(u"PATH"_s));
    bash.setProcessEnvironment(environment);
    bash.start(u"bash"_s, {u"--norc"_s, u"-c"_s, script});
    bash.waitForFinished(30000);
    return QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// The manual page as man shows it (hyphens as typed), and what groff warned.
QString RenderedManPage(const QString& name, QString* warnings)
{
    QProcess nroff;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    nroff.setProcessEnvironment(environment);
    nroff.start(u"nroff"_s, {u"-man"_s, u"-ww"_s, u"-rLL=200n"_s, QStringLiteral(ORVANE_MAN_DIR) + u'/' + name});
    nroff.waitForFinished(30000);
    *warnings = QString::fromUtf8(nroff.readAllStandardError());
    QString page = QString::fromUtf8(nroff.readAllStandardOutput());
    // Bold and underline are overstruck characters; hyphens may come as U+2010.
    static const QRegularExpression overstrike(u".\\x08"_s);
    return page.remove(overstrike).replace(QChar(0x2010), u'-').replace(QChar(0x2212), u'-');
}

} // namespace

class TestFirstRun : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { CameraFixture().WriteConfig(); }

    // The fix follows from the device's group and mode and this user's groups.
    void theFixFollowsTheDevicesGroupAndMode()
    {
        DeviceAccessFacts facts{.strDevice = u"/dev/ttyUSB0"_s, .strGroup = u"uucp"_s, .nMode = 0660,
                                .strUser = u"tech"_s, .strUsbId = u"0403:6001"_s};
        AccessFix fix = AccessFixFor(facts);
        QCOMPARE(int(fix.kind), int(AccessFix::Kind::JoinGroup));
        QVERIFY2(AccessFixText(fix, facts.strDevice).contains(u"(sudo usermod -aG uucp tech), then log out and in again"_s),
                 qPrintable(AccessFixText(fix, facts.strDevice)));
        facts.bUserListedInGroup = true; // joined after this session began
        QCOMPARE(int(AccessFixFor(facts).kind), int(AccessFix::Kind::LogInAgain));
        facts.bMayReadWrite = true;
        QCOMPARE(int(AccessFixFor(facts).kind), int(AccessFix::Kind::None));
        // In the group, or the owner, and still refused (the owner's own bits, an ACL): joining changes nothing.
        facts = {.strDevice = u"/dev/ttyUSB0"_s, .strGroup = u"uucp"_s, .nMode = 0066, .bUserOwns = true,
                 .strUser = u"tech"_s, .strUsbId = QString()};
        QCOMPARE(int(AccessFixFor(facts).kind), int(AccessFix::Kind::UdevRule));
        facts.bUserOwns = false;
        facts.bUserInGroup = true;
        QCOMPARE(int(AccessFixFor(facts).kind), int(AccessFix::Kind::UdevRule));

        // No group may use it: a rule for this adapter, then a group to join.
        facts = {.strDevice = u"/dev/ttyUSB0"_s, .strGroup = u"root"_s, .nMode = 0660, .strUser = u"tech"_s,
                 .strUsbId = u"0403:6001"_s};
        fix = AccessFixFor(facts);
        QCOMPARE(int(fix.kind), int(AccessFix::Kind::UdevRule));
        QCOMPARE(fix.strRule,
                 uR"(SUBSYSTEM=="tty", ATTRS{idVendor}=="0403", ATTRS{idProduct}=="6001", MODE="0660", GROUP="dialout")"_s);
        facts.strGroup = u"dialout"_s;
        facts.nMode = 0600;
        facts.strUsbId.clear();
        QCOMPARE(AccessFixFor(facts).strRule, uR"(SUBSYSTEM=="tty", KERNEL=="ttyUSB0", MODE="0660", GROUP="dialout")"_s);
        facts.bMayReadWrite = true; // root, or an ACL for this user
        QCOMPARE(int(AccessFixFor(facts).kind), int(AccessFix::Kind::None));
        // Groups not worth joining for one device: tty's (every terminal), one without a name.
        for (const QString& group : {u"tty"_s, u"12345"_s}) {
            facts = {.strDevice = u"/dev/ttyUSB0"_s, .strGroup = group, .nMode = 0660, .strUser = u"tech"_s,
                     .strUsbId = QString()};
            QCOMPARE(int(AccessFixFor(facts).kind), int(AccessFix::Kind::UdevRule));
            QCOMPARE(AccessFixFor(facts).strGroup, u"dialout"_s);
        }

        // udev matches the kernel's name, not a link's such as /dev/serial/by-id/usb-FTDI_...
        const QTemporaryDir dir;
        const QString link = dir.filePath(u"usb-FTDI_FT232R_A1B2-if00-port0"_s);
        QVERIFY(QFile::link(u"/dev/null"_s, link));
        QCOMPARE(UdevRuleLine(QString(), link, u"dialout"_s),
                 uR"(SUBSYSTEM=="tty", KERNEL=="null", MODE="0660", GROUP="dialout")"_s);
    }

    // A device of root:uucp, mode 0660: another user is told the group and
    // the command that joins it; with mode 0600, the udev rule it needs.
    void aDeviceOfAnotherGroupNamesItAndTheFix()
    {
        if (geteuid() != 0)
            QSKIP("giving a device to root:uucp needs root");
        const group* uucp = getgrnam("uucp");
        QVERIFY(uucp);
        CameraFixture camera;
        const QByteArray device = Port(camera).toLocal8Bit();
        QCOMPARE(::chown(device.constData(), 0, uucp->gr_gid), 0);
        QCOMPARE(::chmod(device.constData(), 0660), 0);
        const Run denied = RunCli({u"--port"_s, Port(camera), u"read"_s}, 60000, QString(), AsNobody());
        QCOMPARE(denied.nExitCode, 1);
        QVERIFY2(denied.strErr.contains(u"Permission denied"_s), qPrintable(denied.strErr));
        QVERIFY2(denied.strErr.contains(u"hint: %1 belongs to the group uucp, which may use it; add this user to it "
                                        "(sudo usermod -aG uucp nobody), then log out and in again"_s.arg(Port(camera))),
                 qPrintable(denied.strErr));

        // Not even the group may: a pseudo-terminal is a session's, which no udev rule governs.
        QCOMPARE(::chmod(device.constData(), 0600), 0);
        QVERIFY2(AccessOf(Port(camera))[u"hint"_s].toString().contains(u"pseudo-terminal of another user's session"_s),
                 qPrintable(Port(camera)));

        // A node of the machine's first serial port under another name, root:uucp 0600: the udev rule
        // names the kernel's device, as udev matches it.
        QTemporaryDir nodes;
        QVERIFY(QFile::setPermissions(nodes.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                        | QFile::ReadOther | QFile::ExeOther));
        const QString nodePath = nodes.filePath(u"ttyUSB7"_s);
        const QByteArray node = QFile::encodeName(nodePath);
        QCOMPARE(::mknod(node.constData(), S_IFCHR | 0600, makedev(4, 64)), 0);
        QCOMPARE(::chown(node.constData(), 0, uucp->gr_gid), 0);
        const QJsonObject rule = AccessOf(nodePath);
        QCOMPARE(rule[u"ok"_s].toBool(), false);
        QVERIFY2(rule[u"hint"_s].toString().contains(u"KERNEL==\"ttyS0\", MODE=\"0660\", GROUP=\"uucp\""_s)
                     && rule[u"hint"_s].toString().contains(u"/etc/udev/rules.d/"_s),
                 qPrintable(rule[u"hint"_s].toString()));
        // The kernel decides, not the group's bits: the owner without rights
        // of its own is refused although its group may read and write.
        const passwd* nobody = getpwnam("nobody");
        QVERIFY(nobody);
        QCOMPARE(::chown(node.constData(), nobody->pw_uid, nobody->pw_gid), 0);
        QCOMPARE(::chmod(node.constData(), 0066), 0);
        const QJsonObject owner = AccessOf(nodePath);
        QVERIFY2(!owner[u"ok"_s].toBool() && owner[u"hint"_s].toString().contains(u"/etc/udev/rules.d/"_s),
                 qPrintable(owner[u"hint"_s].toString()));

        // Others may: so may this user, whatever its group.
        QCOMPARE(::chown(device.constData(), 0, 0), 0);
        QCOMPARE(::chmod(device.constData(), 0606), 0);
        const Run other = RunCli({u"doctor"_s, u"--port"_s, Port(camera)}, 60000, QString(), AsNobody());
        QVERIFY2(other.nExitCode == 0 && other.strOut.contains(u"  ok    access: "_s), qPrintable(other.strOut));
    }

    // doctor: a port another program holds names it and its pid; a camera
    // answering there is found all the same, and the exit code says so.
    void doctorNamesWhoHoldsAPortAndWhetherACameraAnswers()
    {
        CameraFixture camera;
        // A program may give itself any name, escape sequences too.
        const QTemporaryDir dir;
        const QString program = dir.filePath(u"sl\x1b[2Jeep"_s);
        QVERIFY(QFile::link(u"/bin/sleep"_s, program));
        QProcess holder;
        holder.setStandardInputFile(Port(camera));
        holder.start(program, {u"60"_s});
        QVERIFY(holder.waitForStarted());
        const Run doctor = RunCli({u"doctor"_s, u"--port"_s, Port(camera)});
        const qint64 holderPid = holder.processId();
        holder.kill();
        holder.waitForFinished();
        QVERIFY2(doctor.nExitCode == 0, qPrintable(doctor.strOut + doctor.strErr));
        QVERIFY2(doctor.strOut.startsWith(Port(camera) + u"\n  ok    exists: "_s), qPrintable(doctor.strOut));
        QVERIFY2(doctor.strOut.contains(u"  FAIL  holders: held by "_s)
                     && doctor.strOut.contains(u"sl\\x1b[2Jeep (pid %1)"_s.arg(holderPid))
                     && !doctor.strOut.contains(QChar(0x1b)),
                 qPrintable(doctor.strOut));
        QVERIFY2(doctor.strOut.contains(u"  ok    opens: opens at 115200 baud\n"_s), qPrintable(doctor.strOut));
        QVERIFY2(doctor.strOut.contains(u"  ok    answers: a camera answers: software V1.3, hardware V1.2\n"_s),
                 qPrintable(doctor.strOut));
        QVERIFY(OnlyReadCommands(camera.Camera().Received()));

        // At a rate the camera does not use: nothing answers, and scan is named.
        CameraFixture slow({}, {}, OwnRate(9600));
        const Run wrongRate = RunCli({u"doctor"_s, u"--port"_s, Port(slow), u"--baud"_s, u"19200"_s});
        QCOMPARE(wrongRate.nExitCode, 1);
        QVERIFY2(wrongRate.strOut.contains(u"'orvane-cli scan --port %1'"_s.arg(Port(slow))), qPrintable(wrongRate.strOut));
        const Run missing = RunCli({u"doctor"_s, u"--port"_s, u"/dev/orvane-no-such-adapter"_s});
        QCOMPARE(missing.nExitCode, 1);
        QVERIFY2(missing.strOut.contains(u"  FAIL  exists: /dev/orvane-no-such-adapter does not exist\n"_s),
                 qPrintable(missing.strOut));
    }

    // Every command and option of --help is in orvane-cli(1), which groff
    // reads without a warning; both pages have every section.
    void theManualPagesFollowTheHelp()
    {
        QString warnings;
        const QString cli = RenderedManPage(u"orvane-cli.1"_s, &warnings);
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings));
        const QString help = CliHelpText();
        static const QRegularExpression option(u"--[a-z][a-z-]*"_s);
        QStringList terms;
        for (QRegularExpressionMatchIterator it = option.globalMatch(help); it.hasNext();)
            terms.append(it.next().captured());
        static const QRegularExpression command(u"^  ([a-z]+)\\b"_s, QRegularExpression::MultilineOption);
        for (QRegularExpressionMatchIterator it = command.globalMatch(help); it.hasNext();)
            terms.append(it.next().captured(1));
        QVERIFY(terms.contains(u"doctor"_s) && terms.contains(u"--restore-backup"_s));
        for (const QString& term : terms)
            QVERIFY2(cli.contains(term), qPrintable(term));
        const QString window = RenderedManPage(u"orvane-config.1"_s, &warnings);
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings));
        for (const QString& section : {u"NAME"_s, u"SYNOPSIS"_s, u"DESCRIPTION"_s, u"FILES"_s, u"ENVIRONMENT"_s,
                                       u"EXAMPLES"_s}) {
            QVERIFY2(cli.contains(u'\n' + section + u'\n'), qPrintable(section));
            QVERIFY2(window.contains(u'\n' + section + u'\n'), qPrintable(section));
        }
        QVERIFY(cli.contains(u"\nEXIT STATUS\n"_s) && cli.contains(u"ORVANE_BACKUPS"_s));
    }

    // bash completes the commands, the options, the rates and the COMn of config.ini.
    void bashCompletesCommandsOptionsRatesAndPorts()
    {
        QCOMPARE(Completions({u"orvane-cli"_s, u"do"_s}), QStringList{u"doctor"_s});
        QCOMPARE(Completions({u"orvane-cli"_s, u"--re"_s}),
                 (QStringList{u"--recover"_s, u"--recover-wait"_s, u"--report"_s, u"--restore-backup"_s}));
        QCOMPARE(Completions({u"orvane-cli"_s, u"--baud"_s, u"19"_s}), QStringList{u"19200"_s});
        QCOMPARE(Completions({u"orvane-cli"_s, u"--baud"_s, u""_s}).size(), 12);
        const QTemporaryDir dir;
        CliBesideConfig(dir, "[Ports]\nCOM7=/dev/ttyUSB7\nCOM12=rfc2217://10.0.0.5:4001\n");
        QCOMPARE(Completions({u"orvane-cli"_s, u"--port"_s, u"COM"_s}, dir.path()),
                 (QStringList{u"COM7"_s, u"COM12"_s}));
    }
};

QTEST_MAIN(TestFirstRun)
#include "tst_first_run.moc"
