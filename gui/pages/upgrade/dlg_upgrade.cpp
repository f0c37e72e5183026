#include "pages/upgrade/dlg_upgrade.h"

#include "config/file_contents.h"
#include "dialogs/file_dialog.h"
#include "dialogs/message_box.h"
#include "config/program_dir.h"
#include "pages/page_host.h"
#include "protocol/checksum.h"
#include "firmware/image_files.h"
#include "firmware/package_reader.h"
#include "resources/resource_module.h"
#include "resources/string_ids.h"

#include <QFile>
#include <QFileInfo>
#include <QDateTime>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextEdit>
#include <QTime>

using namespace Qt::StringLiterals;

namespace {

constexpr int kLogLimit = 20000;
constexpr qsizetype kShortestPackagePath = 10;
constexpr qsizetype kImageNameTail = 10; // of the path, in the image's length line

} // namespace

CDlgUpdate::CDlgUpdate(CPageHost& host, QWidget* parent) : CTemplatePage(Ids::DialogUpdate, parent), m_host(host)
{
    Item<QProgressBar>(1056)->setRange(0, 100);
    connect(Item<QPushButton>(1054), &QPushButton::clicked, this, &CDlgUpdate::OnBrowse);
    connect(Item<QPushButton>(1058), &QPushButton::clicked, this, &CDlgUpdate::OnUpgrade);
    connect(Item<QPushButton>(1063), &QPushButton::clicked, this, &CDlgUpdate::OnClear);
    connect(Item<QPushButton>(1073), &QPushButton::clicked, this, &CDlgUpdate::OnRestart);
    auto* log = Item<QTextEdit>(1057);
    log->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(log, &QTextEdit::customContextMenuRequested, this, [this, log](const QPoint& at) {
        QMenu* menu = log->createStandardContextMenu(at);
        menu->addSeparator();
        menu->addAction(LoadString(Ids::SaveLogMenu), this, &CDlgUpdate::OnSaveLog);
        menu->exec(log->viewport()->mapToGlobal(at));
        delete menu;
    });
}

void CDlgUpdate::AppendLog(const QString& text)
{
    ShowInLog(text);
    Keep(text);
}

void CDlgUpdate::Keep(const QString& text)
{
    QString error;
    if (m_keptLog.Append(text, QDateTime::currentDateTime(), &error)) {
        m_bKeptLogFailing = false;
    } else if (!std::exchange(m_bKeptLogFailing, true)) {
        ShowInLog(LoadString(Ids::LogNotKept) + error + u'\n');
    }
}

void CDlgUpdate::OnSaveLog()
{
    const QString path = GetSaveFileName(u"upgrade-log.txt"_s, u"Text (*.txt);;All File(*.*)"_s);
    if (path.isEmpty())
        return;
    QFile file(path);
    const QByteArray text = Item<QTextEdit>(1057)->toPlainText().toUtf8();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        MessageBox(path + u": "_s + file.errorString(), LoadString(Ids::MessageCaption));
}

void CDlgUpdate::ShowInLog(const QString& text)
{
    auto* log = Item<QTextEdit>(1057);
    if (log->document()->characterCount() - 1 > kLogLimit)
        log->clear();

    const QTime now = QTime::currentTime();
    const QString stamp = u"%1:%2:%3  "_s.arg(now.hour(), 2, 10, QChar(u'0')).arg(now.minute(), 2, 10, QChar(u'0')).arg(now.second(), 2, 10, QChar(u'0'));
    QTextCharFormat format;
    format.setFontWeight(QFont::Normal);
    format.setFontPointSize(9.8);
    QTextCursor cursor(log->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(stamp + text, format);
    log->verticalScrollBar()->setValue(log->verticalScrollBar()->maximum());
}

void CDlgUpdate::OnClear()
{
    Item<QTextEdit>(1057)->clear();
}

void CDlgUpdate::OnBrowse()
{
    const QString path = GetOpenFileName(u"upgradeFile"_s, u"All File(*.*)"_s);
    if (path.isEmpty())
        return;
    m_strPackagePath = path;
    Item<QLineEdit>(1053)->setText(path);
    QByteArray package;
    QString unreadable;
    if (!ReadRegularFile(path, kPackageFileMax, &package, &unreadable))
        return;
    AppendLog(LoadString(Ids::LogFileLength) + u" %1 bytes .\n"_s.arg(package.size()));
    const int checksum = ComputeChecksum(package);
    Item<QLineEdit>(1022)->setText(QString::number(checksum, 16));
    AppendLog(LoadString(Ids::LogChecksum) + u" %1.\n"_s.arg(checksum));
    if (path.size() < kShortestPackagePath)
        MessageFromTable(Ids::BadPackageName);
}

CDlgUpdate::~CDlgUpdate()
{
    EndRun();
}

void CDlgUpdate::EndRun()
{
    if (!m_strRunDir.isEmpty())
        DeleteTree(std::exchange(m_strRunDir, QString()));
}

std::optional<PackageContents> CDlgUpdate::CheckedPackage()
{
    QByteArray package;
    QString unreadable;
    if (!ReadRegularFile(m_strPackagePath, kPackageFileMax, &package, &unreadable)) {
        if (QFileInfo::exists(m_strPackagePath))
            AppendLog(LoadString(Ids::LogCannotUnpack) + m_strPackagePath + u": "_s + unreadable + u'\n');
        else
            MessageFromTable(Ids::InvalidPackage);
        return std::nullopt;
    }
    PackageError error;
    std::optional<PackageContents> contents = ReadPackage(package, PackageLimits{}, &error);
    if (!contents) {
        AppendLog(LoadString(Ids::LogBadPackage) + error.strDetail + u'\n');
        MessageFromTable(Ids::InvalidPackage);
        return std::nullopt;
    }
    for (const QString& line : contents->skipped)
        AppendLog(line + u'\n');
    return contents;
}

bool CDlgUpdate::StartRun(std::vector<PackageEntry> entries)
{
    const auto cannotUnpack = [this](const QString& what) {
        AppendLog(LoadString(Ids::LogCannotUnpack) + what + u'\n');
        EndRun();
        return false;
    };
    const TempDirChoice temp =
        PrepareTempDir(GetProgramDir(), QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
    if (temp.strPath.isEmpty())
        return cannotUnpack(GetProgramDir() + u"/temp"_s);
    m_strRunDir = temp.strPath;
    if (temp.bPerUser)
        AppendLog(LoadString(Ids::LogPerUserTemp) + temp.strPath + u'\n');
    QString failure;
    if (!m_host.Upgrade().Start({std::move(entries), m_strRunDir, false, 0}, RunEvents(), &failure))
        return cannotUnpack(failure);
    return true;
}

void CDlgUpdate::OnUpgrade()
{
    if (!m_host.PortOpen()) {
        MessageFromTable(Ids::PortNotReady);
        return;
    }
    if (m_strPackagePath.isEmpty()) {
        MessageFromTable(Ids::ChoosePackage);
        return;
    }
    EndRun();
    // Checked whole before anything is unpacked or sent.
    std::optional<PackageContents> contents = CheckedPackage();
    if (!contents)
        return;
    m_packageVersions = VersionsOfPackage(contents->entries);
    m_bVerifyPending = false;
    if (m_host.Upgrade().Choose(contents->entries).turns.empty()) {
        MessageFromTable(Ids::InvalidPackage); // the camera runs every image already
        return;
    }
    StartRun(std::move(contents->entries));
}

FirmwareVersions CDlgUpdate::CameraVersions() const
{
    return VersionsOfCamera(m_host.Registers().data());
}

void CDlgUpdate::OnCameraRead(bool afterOpening)
{
    if (!afterOpening || !std::exchange(m_bVerifyPending, false))
        return;
    const FirmwareVersions camera = CameraVersions();
    AppendLog(LoadString(Ids::LogVersionsNow).arg(camera.strSoftware, camera.strHardware));
    const std::vector<VersionMismatch> mismatches = CompareVersions(m_packageVersions, camera);
    if (mismatches.empty()) {
        AppendLog(LoadString(Ids::LogVersionsMatch));
        return;
    }
    QStringList what;
    for (const VersionMismatch& mismatch : mismatches)
        what.append(LoadString(mismatch.bSoftware ? Ids::SoftwareDiffers : Ids::HardwareDiffers)
                        .arg(mismatch.strReported, mismatch.strExpected));
    AppendLog(LoadString(Ids::LogVersionsDiffer).arg(what.join(u'；')));
}

void CDlgUpdate::OnReplugged()
{
    if (std::exchange(m_bVerifyPending, false))
        AppendLog(LoadString(Ids::LogReplugNotVerified));
}

void CDlgUpdate::OnRestart()
{
    m_host.RestartDevice(1);
}

void CDlgUpdate::SetProgress(int percent)
{
    Item<QProgressBar>(1056)->setValue(percent);
}

void CDlgUpdate::EnableButtons(bool enable, bool includingRestart)
{
    GetDlgItem(1058)->setEnabled(enable);
    GetDlgItem(1054)->setEnabled(enable);
    if (includingRestart)
        GetDlgItem(1073)->setEnabled(enable);
}
