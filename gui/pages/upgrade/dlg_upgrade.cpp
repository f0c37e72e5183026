// The upgrade page: the package, its check and the run started in a folder
// of its own, what the session's run tells, in the log and boxes, and every
// way a run ends; after it, the versions the reopened camera reports.
#include "gui/pages/upgrade/dlg_upgrade.h"

#include "core/config/file_contents.h"
#include "core/config/printable_text.h"
#include "core/config/program_dir.h"
#include "gui/dialogs/file_dialog.h"
#include "gui/dialogs/message_box.h"
#include "core/firmware/image_files.h"
#include "core/firmware/package_reader.h"
#include "gui/pages/page_host.h"
#include "gui/pages/upgrade/camera_reports.h"
#include "core/protocol/checksum.h"
#include "gui/resources/next_step_text.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextEdit>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kShortestPackagePath = 10;
constexpr qsizetype kImageNameTail = 10; // of the path, in the image's length line

} // namespace

CDlgUpdate::CDlgUpdate(CPageHost& host, QWidget* parent)
    : CTemplatePage(Ids::DialogUpdate, parent), m_host(host), m_log(Item<QTextEdit>(1057))
{
    Item<QProgressBar>(1056)->setRange(0, 100);
    connect(Item<QPushButton>(1054), &QPushButton::clicked, this, &CDlgUpdate::OnBrowse);
    connect(Item<QPushButton>(1058), &QPushButton::clicked, this, &CDlgUpdate::OnUpgrade);
    connect(Item<QPushButton>(1063), &QPushButton::clicked, this, &CDlgUpdate::OnClear);
    connect(Item<QPushButton>(1073), &QPushButton::clicked, this, &CDlgUpdate::OnRestart);
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
        WarningFromTable(Ids::BadPackageName);
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

FirmwareVersions CDlgUpdate::CameraVersions() const
{
    return VersionsOfCamera(m_host.Registers().data());
}

QString CDlgUpdate::LogVersions(const FirmwareVersions& camera)
{
    AppendLog(LoadString(Ids::LogVersionsNow).arg(camera.strSoftware, camera.strHardware));
    const std::vector<VersionMismatch> mismatches = CompareVersions(m_packageVersions, camera);
    if (mismatches.empty()) {
        AppendLog(LoadString(Ids::LogVersionsMatch));
        return QString();
    }
    QStringList what;
    for (const VersionMismatch& mismatch : mismatches)
        what.append(LoadString(mismatch.bSoftware ? Ids::SoftwareDiffers : Ids::HardwareDiffers)
                        .arg(mismatch.strReported, mismatch.strExpected));
    const QString differ = LoadString(Ids::LogVersionsDiffer).arg(what.join(LoadString(Ids::ListSeparator)));
    AppendLog(differ);
    return differ;
}

void CDlgUpdate::OnRestart()
{
    // Offered during a run once the camera has stored its image and not
    // said it flashed it: the camera is released before it is restarted.
    if (m_host.UpgradeMode()) {
        m_host.Upgrade().Stop(true);
        LeaveUpgrade(LoadString(Ids::LogUpgradeInterrupted));
    }
    m_host.RestartDevice(1);
}

void CDlgUpdate::SetProgress(int percent)
{
    Item<QProgressBar>(1056)->setValue(percent);
}

void CDlgUpdate::EnableButtons(bool enable, bool includingRestart)
{
    m_bUpgradeUsable = enable;
    GetDlgItem(1054)->setEnabled(enable);
    if (includingRestart)
        m_bRestartUsable = enable;
    ApplyButtons();
}

void CDlgUpdate::ShowPortOpen(bool open)
{
    m_bPortOpen = open;
    ApplyButtons();
}

void CDlgUpdate::ApplyButtons()
{
    const QString why = m_bPortOpen ? QString() : LoadString(Ids::WhyPortClosed);
    for (const auto& [id, usable] : {std::pair{1058, m_bUpgradeUsable}, std::pair{1073, m_bRestartUsable}}) {
        GetDlgItem(id)->setEnabled(usable && m_bPortOpen);
        GetDlgItem(id)->setToolTip(why);
    }
}


std::optional<PackageContents> CDlgUpdate::CheckedPackage()
{
    QByteArray package;
    QString unreadable;
    if (!ReadRegularFile(m_strPackagePath, kPackageFileMax, &package, &unreadable)) {
        if (QFileInfo::exists(m_strPackagePath))
            AppendLog(LoadString(Ids::LogCannotUnpack) + m_strPackagePath + u": "_s + unreadable + u'\n');
        else
            WarningFromTable(Ids::InvalidPackage);
        return std::nullopt;
    }
    PackageError error;
    std::optional<PackageContents> contents = ReadPackage(package, PackageLimits{}, &error);
    if (!contents) {
        AppendLog(LoadString(Ids::LogBadPackage) + error.strDetail + u'\n');
        WarningFromTable(Ids::InvalidPackage);
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
    // Success is told once the restarted camera has been read and runs the package's versions.
    UpgradePlan plan{std::move(entries), m_strRunDir, true, 0};
    if (m_bRecovering)
        plan.nRecoverWaitMs = kRecoverWaitMs;
    m_host.BeginWrite(m_bRecovering ? u"recover"_s : u"upgrade"_s);
    if (!m_host.Upgrade().Start(std::move(plan), RunEvents(), &failure))
        return cannotUnpack(failure);
    return true;
}

void CDlgUpdate::OnUpgrade()
{
    if (!m_host.PortOpen()) {
        m_host.SayNotReady();
        return;
    }
    if (m_strPackagePath.isEmpty()) {
        MessageFromTable(Ids::ChoosePackage);
        return;
    }
    // A camera that has answered no read may be one whose firmware is
    // broken: it can be reached only through the boot window of a power cycle.
    const bool recover = !m_host.ConfigRead();
    if (recover && m_host.Reading()) {
        m_host.SayNotReady();
        return;
    }
    if (recover && !AskYesNo(LoadString(Ids::AskRecover), LoadString(Ids::MessageCaption)))
        return;
    EndRun();
    // Checked whole before anything is unpacked or sent.
    std::optional<PackageContents> contents = CheckedPackage();
    if (!contents)
        return;
    m_packageVersions = VersionsOfPackage(contents->entries);
    if (!recover && m_host.Upgrade().Choose(contents->entries).turns.empty()) {
        MessageFromTable(Ids::InvalidPackage); // the camera runs every image already
        return;
    }
    m_bRecovering = recover;
    m_recoveryBegan = QDateTime::currentDateTime();
    if (StartRun(std::move(contents->entries)) && recover) {
        EnableButtons(false);
        m_host.LockForUpgrade(true);
    }
}

CUpgradeRun::Events CDlgUpdate::RunEvents()
{
    return {
        {
            [this] { return m_host.PortOpen() && (m_host.ConfigRead() || m_bRecovering); },
            [this](int) { AppendLog(LoadString(Ids::LogRequest)); },
            [this](bool running) { m_host.EnableLinkButtons(!running); },
            [this](const QString& fileName) {
                AppendLog(LoadString(Ids::LogUpgradeStart));
                AppendLog(LoadString(Ids::LogTransferring) + PrintableName(fileName) + u'\n');
            },
            [this](int percent) { SetProgress(percent); },
            [this](const TransferReport& report) {
                AppendLog(LoadString(Ids::LogTransferDone));
                AppendLog(LoadString(Ids::LogTransferRate)
                              .arg(report.nBytes)
                              .arg(double(report.nElapsedMs) / 1000.0, 0, 'f', 2)
                              .arg(TransferRate(report)));
                SetProgress(99);
            },
            [this] {
                // Stored but not yet done: a camera that never finishes can still be restarted.
                AppendLog(LoadString(Ids::DeviceReceived) + u'\n');
                m_bRestartUsable = true;
                ApplyButtons();
            },
            {},
        },
        [this](const RunImage& image) { OnImageExamined(image); },
        [this](const RunImage& image) { OnImageTriggered(image); },
        [this](CUpgradeRun::Stage stage) {
            if (stage == CUpgradeRun::Stage::Restarting)
                AppendLog(LoadString(Ids::LogRestartToVerify));
        },
        [this](const CUpgradeRun::Result& result) { OnRunFinished(result); },
        {},
        [this] {
            KeepImageEntry(m_host.Upgrade().CurrentImage(), {}); // what the camera ran is unknown
            AppendLog(LoadString(Ids::LogRecoverWaiting).arg(kRecoverWaitMs / 1000));
        },
    };
}

void CDlgUpdate::OnImageExamined(const RunImage& image)
{
    const QString separator = QString(54, u'-') + u'\n';
    AppendLog(separator);
    AppendLog(separator);
    AppendLog(PrintableName(image.strPath.right(kImageNameTail)) + u' ' + LoadString(Ids::LogFileLength)
              + u" %1 bytes .\n"_s.arg(image.bytes.size()));
    AppendLog(LoadString(Ids::LogChecksum) + u" %1.\n"_s.arg(image.nChecksum, 0, 16));
}

void CDlgUpdate::KeepImageEntry(const RunImage& image, const FirmwareVersions& replaced)
{
    m_log.Keep(LoadString(Ids::LogKeptImage)
                   .arg(m_strPackagePath, PrintableName(QFileInfo(image.strPath).fileName()),
                        QString::number(image.nChecksum, 16), replaced.strSoftware, replaced.strHardware));
}

void CDlgUpdate::OnImageTriggered(const RunImage& image)
{
    KeepImageEntry(image, CameraVersions());
    EnableButtons(false);
    AppendLog(LoadString(Ids::LogTrigger));
    m_host.LockForUpgrade(true);
}

void CDlgUpdate::OnRunFinished(const CUpgradeRun::Result& result)
{
    using End = CUpgradeRun::End;
    const bool recovered = std::exchange(m_bRecovering, false);
    if (result.bAbandoned) {
        // Stopped on purpose: the camera's refusal of the filler is no news.
        SetProgress(0);
        LeaveUpgrade(LoadString(Ids::LogUpgradeInterrupted));
        return;
    }
    switch (result.end) {
    case End::Done:
        EndRun();
        SetProgress(0);
        LogVersions(result.after);
        MessageFromTable(Ids::UpgradeSucceeded);
        AppendLog(LoadString(Ids::UpgradeSucceeded));
        EnableButtons(true);
        m_host.LockForUpgrade(false);
        if (recovered)
            m_host.Recovered(m_recoveryBegan); // the firmware is back; the settings may follow
        return;
    case End::Reported: {
        const NextStep nextStep = NextStepForReport(result.strDetail.toStdString());
        AppendLog(LoadString(Ids::LogCameraReport).arg(result.strDetail));
        AppendLog(NextStepText(nextStep) + u'\n');
        if (const int textId = ReportStringId(result.strDetail.toStdString()))
            MessageBox(WithNextStep(LoadString(textId), nextStep), LoadString(Ids::MessageCaption), MessageIcon::Warning);
        SetProgress(0);
        LeaveUpgrade(QString(), false); // restart stays locked, as after unanswered requests
        return;
    }
    case End::Unanswered:
        if (recovered && result.nImagesDone == 0) {
            LeaveUpgrade(LoadString(Ids::LogRecoverUnanswered).arg(kRecoverWaitMs / 1000), true);
            return;
        }
        AppendLog(LoadString(Ids::LogRequestFailed));
        LeaveUpgrade(NextStepText(NextStep::SearchOrRecover) + u'\n', false);
        return;
    case End::NotReady: LeaveUpgrade(LoadString(Ids::PortNotReady) + u'\n'); return;
    case End::ImageUnreadable: LeaveUpgrade(LoadString(Ids::LogImageUnreadable) + result.strDetail + u'\n'); return;
    case End::PortGone: LeaveUpgrade(LoadString(Ids::LogPortClosed)); return;
    case End::Silent:
    case End::NotFlashed: // the window waits for 'D' as long as it takes
    case End::Unconfirmed:
        SetProgress(0);
        LeaveUpgrade(LoadString(Ids::DeviceSilent) + u'\n');
        return;
    case End::NotBack: {
        SetProgress(0);
        AppendLog(LoadString(Ids::LogNotBack));
        LeaveUpgrade(NextStepText(NextStep::SearchOrRecover) + u'\n');
        MessageBox(WithNextStep(LoadString(Ids::LogNotBack), NextStep::SearchOrRecover), LoadString(Ids::MessageCaption),
                   MessageIcon::Warning);
        return;
    }
    case End::NotVerified: {
        SetProgress(0);
        const QString differ = LogVersions(result.after);
        LeaveUpgrade(QString());
        MessageBox(WithNextStep(differ, NextStep::PowerCycleRetry), LoadString(Ids::MessageCaption),
                   MessageIcon::Warning);
        return;
    }
    }
}

void CDlgUpdate::LeaveUpgrade(const QString& logLine, bool restartUsable)
{
    m_host.Upgrade().Stop(false);
    EndRun();
    if (!logLine.isEmpty())
        AppendLog(logLine);
    EnableButtons(true, restartUsable);
    m_host.LockForUpgrade(false);
}
