#include "pages/upgrade/dlg_update.h"

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
    m_nChecksum = ComputeChecksum(package);
    Item<QLineEdit>(1022)->setText(QString::number(m_nChecksum, 16));
    AppendLog(LoadString(Ids::LogChecksum) + u" %1.\n"_s.arg(m_nChecksum));
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

int CDlgUpdate::ExtractPackage()
{
    EndRun();
    m_aImagePaths.clear();
    m_nImageCount = 0;
    m_nNextImage = 0;
    const auto cannotUnpack = [this](const QString& what) {
        AppendLog(LoadString(Ids::LogCannotUnpack) + what + u'\n');
        return kCannotUnpack;
    };

    QByteArray package;
    QString unreadable;
    if (!ReadRegularFile(m_strPackagePath, kPackageFileMax, &package, &unreadable))
        return QFileInfo::exists(m_strPackagePath) ? cannotUnpack(m_strPackagePath + u": "_s + unreadable) : kInvalidPackage;
    // Checked whole before anything is unpacked or sent.
    PackageError error;
    std::optional<PackageContents> contents = ReadPackage(package, PackageLimits{}, &error);
    if (!contents) {
        AppendLog(LoadString(Ids::LogBadPackage) + error.strDetail + u'\n');
        return kInvalidPackage;
    }
    for (const QString& line : contents->skipped)
        AppendLog(line + u'\n');
    m_packageVersions = VersionsOfPackage(contents->entries);
    m_bVerifyPending = false;
    const QString software = m_host.SoftwareVersionShown();
    const QString hardware = m_host.HardwareVersionShown();
    std::erase_if(contents->entries,
                  [&](const PackageEntry& entry) { return CheckImageName(entry.strName, software, hardware) == 0; });

    const TempDirChoice temp =
        PrepareTempDir(GetProgramDir(), QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
    if (temp.strPath.isEmpty())
        return cannotUnpack(GetProgramDir() + u"/temp"_s);
    m_strRunDir = temp.strPath;
    if (temp.bPerUser)
        AppendLog(LoadString(Ids::LogPerUserTemp) + temp.strPath + u'\n');
    for (const PackageEntry& entry : contents->entries) {
        const QString target = temp.strPath + u'/' + entry.strName;
        QFile image(target);
        if (!image.open(QIODevice::WriteOnly | QIODevice::Truncate) || image.write(entry.bytes) != entry.bytes.size())
            return cannotUnpack(target + u": "_s + image.errorString());
        m_aImagePaths.append(target);
        ++m_nImageCount;
    }
    return m_nImageCount > 0 ? kExtracted : kInvalidPackage;
}

void CDlgUpdate::OnUpgrade()
{
    if (!m_host.m_bPortOpen) {
        MessageFromTable(Ids::PortNotReady);
        return;
    }
    if (m_strPackagePath.isEmpty()) {
        MessageFromTable(Ids::ChoosePackage);
        return;
    }
    switch (ExtractPackage()) {
    case kExtracted: SendNextImage(); break;
    case kInvalidPackage: MessageFromTable(Ids::InvalidPackage); break;
    default: break; // the log says what went wrong
    }
}

void CDlgUpdate::SendNextImage()
{
    for (;;) {
        if (m_nNextImage >= m_nImageCount) {
            EndRun();
            MessageFromTable(Ids::UpgradeSucceeded);
            m_bVerifyPending = !m_packageVersions.IsEmpty();
            SetProgress(0);
            AppendLog(LoadString(Ids::UpgradeSucceeded));
            EnableButtons(true);
            m_host.EnablePortChoice(true);
            return;
        }
        const QString path = m_aImagePaths.value(m_nNextImage++);
        QByteArray bytes;
        QString unreadable;
        if (!ReadRegularFile(path, PackageLimits{}.nEntryMax, &bytes, &unreadable)) {
            // Nothing was triggered for it: the run ends here, ready to try again.
            AppendLog(LoadString(Ids::LogImageUnreadable) + PrintableName(path) + u": "_s + unreadable + u'\n');
            EndRun();
            EnableButtons(true);
            m_host.EnablePortChoice(true);
            return;
        }
        const QString separator = QString(54, u'-') + u'\n';
        AppendLog(separator);
        AppendLog(separator);
        AppendLog(PrintableName(path.right(kImageNameTail)) + u' ' + LoadString(Ids::LogFileLength)
                  + u" %1 bytes .\n"_s.arg(bytes.size()));
        m_nChecksum = ComputeChecksum(bytes);
        AppendLog(LoadString(Ids::LogChecksum) + u" %1.\n"_s.arg(m_nChecksum, 0, 16));

        const ImageKind kind = ImageKindForName(path);
        if (kind == ImageKind::Other)
            continue;
        Keep(LoadString(Ids::LogKeptImage)
                 .arg(m_strPackagePath, PrintableName(QFileInfo(path).fileName()), QString::number(m_nChecksum, 16),
                      m_host.SoftwareVersionShown(), m_host.HardwareVersionShown()));
        m_nImageKind = static_cast<int>(kind);
        EnableButtons(false);
        if (m_host.RestartDevice(0, {path, m_nImageKind, m_nChecksum, std::nullopt}) == 0)
            m_host.EnablePortChoice(false);
        else
            EnableButtons(true);
        return;
    }
}

void CDlgUpdate::OnCameraRead(bool afterOpening)
{
    if (!afterOpening || !std::exchange(m_bVerifyPending, false))
        return;
    const FirmwareVersions camera{m_host.SoftwareVersionShown(), m_host.HardwareVersionShown()};
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
