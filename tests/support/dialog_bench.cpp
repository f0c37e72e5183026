#include "tests/support/dialog_bench.h"

#include "gui/dialogs/file_dialog.h"
#include "tests/support/package_writer.h"

#include "core/protocol/link_protocol.h"
#include "core/config/program_dir.h"
#include "core/config/user_settings.h"
#include "gui/main_window/port_list.h"
#include "gui/resources/resource_module.h"

#include <QComboBox>
#include <QTest>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTextEdit>

#include <algorithm>
#include <chrono>

using namespace Qt::StringLiterals;

std::string CycleRequests()
{
    std::string text;
    for (const int reg : ReadList)
        text += FormatReadCommand(reg).toStdString();
    return text;
}

QString Text(CMyCorvixDlg& dialog, int id)
{
    QWidget* widget = dialog.GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<QPushButton*>(widget))
        return button->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentText();
    return QString();
}

QStringList LogLines(CDlgUpdate& page)
{
    QStringList lines;
    for (const QString& line : page.Item<QTextEdit>(1057)->toPlainText().split(u'\n', Qt::SkipEmptyParts))
        lines.append(line.mid(10));
    return lines;
}

DialogBench::DialogBench(const QString& pathInfo, CameraFaults faults, CameraTiming timing, PtyOptions line)
    : camera(std::move(faults), timing, std::move(line))
{
    if (!pathInfo.isNull())
        camera.WriteConfig(u"[PathInfo]\n"_s + pathInfo);
    // The window's language as config.ini names it (UiLanguage=en), else Chinese.
    ResourceModule::UseBuiltIn(ConfiguredUiLanguage().value_or(UiLanguage::Chinese));
    QStandardPaths::setTestModeEnabled(true); // the upgrade log goes to ~/.qttest, not the user's own
    // The chosen port is this test program's own, beside it: test programs
    // that run at once do not share it.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, GetProgramDir() + u"/settings"_s);
    RememberPort(QString()); // every test starts at COM1, at no rate a camera answered at before
    UserSettings().remove(u"rates"_s);
    SetPortSource([] { return QList<SystemPort>(); }); // and sees none of this machine's ports
    dialog = std::make_unique<CMyCorvixDlg>();
}

bool DialogBench::OpenAndRead(const char* languageWrite)
{
    dialog->OnOpenClosePort();
    return camera.WaitReceived(CycleRequests() + languageWrite);
}

std::string DialogBench::ReceivedBeforeMarker()
{
    const std::string marker = "w AB 0055\r\n";
    dialog->Session().WriteRegister(0xAB, 0x55); // behind all that is queued, past the window's write gate
    WaitUntil([&] { return camera.Camera().Received().ends_with(marker); });
    const std::string received = camera.Camera().Received();
    return received.ends_with(marker) ? received.substr(0, received.size() - marker.size()) : received + "<no marker>";
}

bool DialogBench::ShowReadAndGrab(const QString& fileName, const std::function<void()>& prepare)
{
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog.get()) || !OpenAndRead())
        return false;
    if (prepare)
        prepare();
    QTest::qWait(600); // the tab control's slide-in has ended
    return dialog->grab().save(qEnvironmentVariable("ORVANE_SCREENSHOT_DIR") + u'/' + fileName);
}

std::int64_t SteadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

EventLoopTurns::EventLoopTurns()
{
    QObject::connect(&m_timer, &QTimer::timeout, [this] { m_stamps.push_back(SteadyNowNs()); });
    m_timer.start(10);
}

int EventLoopTurns::Between(std::int64_t fromNs, std::int64_t toNs) const
{
    return int(std::count_if(m_stamps.begin(), m_stamps.end(), [&](std::int64_t at) { return at >= fromNs && at <= toNs; }));
}

std::int64_t EventLoopTurns::LongestGapNs(std::int64_t fromNs, std::int64_t toNs) const
{
    std::int64_t longest = 0;
    std::int64_t last = fromNs;
    for (const std::int64_t at : m_stamps) {
        if (at < fromNs || at > toNs)
            continue;
        longest = std::max(longest, at - last);
        last = at;
    }
    return std::max(longest, toNs - last);
}

void DialogBench::ChoosePackage(const QString& path)
{
    const OpenFileHandler previous = SetOpenFileHandler([path](const QString&, const QString&) { return path; });
    dialog->PageUpdate().OnBrowse();
    SetOpenFileHandler(previous);
    dialog->PageUpdate().OnClear();
}

bool DialogBench::StartUpgrade(const QByteArray& image)
{
    const QString path = packageDir.filePath(u"camera.pkg"_s);
    WritePackage(path, {{"cam.elf.flash", image}}); // names no version: the camera's is never in doubt
    ChoosePackage(path);
    dialog->PageUpdate().OnUpgrade();
    return dialog->UpgradeMode();
}
