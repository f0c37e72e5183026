// The upgrade page's side of an upgrade run: what the session's run tells,
// in the log and boxes, and every way a run ends.
#include "pages/upgrade/dlg_upgrade.h"

#include "config/printable_text.h"
#include "dialogs/message_box.h"
#include "pages/page_host.h"
#include "pages/upgrade/camera_reports.h"
#include "resources/resource_module.h"
#include "resources/string_ids.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kImageNameTail = 10; // of the path, in the image's length line

} // namespace

CUpgradeRun::Events CDlgUpdate::RunEvents()
{
    return {
        {
            [this] { return m_host.PortOpen() && m_host.ConfigRead(); },
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
                GetDlgItem(1073)->setEnabled(true);
            },
            {},
        },
        [this](const RunImage& image) { OnImageExamined(image); },
        [this](const RunImage& image) { OnImageTriggered(image); },
        {},
        [this](const CUpgradeRun::Result& result) { OnRunFinished(result); },
        {},
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

void CDlgUpdate::OnImageTriggered(const RunImage& image)
{
    const FirmwareVersions camera = CameraVersions();
    Keep(LoadString(Ids::LogKeptImage)
             .arg(m_strPackagePath, PrintableName(QFileInfo(image.strPath).fileName()),
                  QString::number(image.nChecksum, 16), camera.strSoftware, camera.strHardware));
    EnableButtons(false);
    AppendLog(LoadString(Ids::LogTrigger));
    m_host.EnablePortChoice(false);
}

void CDlgUpdate::OnRunFinished(const CUpgradeRun::Result& result)
{
    using End = CUpgradeRun::End;
    switch (result.end) {
    case End::Done:
        EndRun();
        MessageFromTable(Ids::UpgradeSucceeded);
        m_bVerifyPending = !m_packageVersions.IsEmpty();
        SetProgress(0);
        AppendLog(LoadString(Ids::UpgradeSucceeded));
        EnableButtons(true);
        m_host.EnablePortChoice(true);
        return;
    case End::Reported:
        AppendLog(LoadString(Ids::LogCameraReport).arg(result.strDetail));
        if (const int textId = ReportStringId(result.strDetail.toStdString()))
            MessageFromTable(textId);
        SetProgress(0);
        LeaveUpgrade(QString(), false); // restart stays locked, as after unanswered requests
        return;
    case End::Unanswered: LeaveUpgrade(LoadString(Ids::LogRequestFailed), false); return;
    case End::NotReady: LeaveUpgrade(LoadString(Ids::PortNotReady) + u'\n'); return;
    case End::ImageUnreadable: LeaveUpgrade(LoadString(Ids::LogImageUnreadable) + result.strDetail + u'\n'); return;
    case End::PortGone: LeaveUpgrade(LoadString(Ids::LogPortClosed)); return;
    case End::Silent:
    case End::NotFlashed: // the window waits for 'D' as long as it takes
    case End::NotBack:    // nor does it restart the camera itself
    case End::NotVerified:
        SetProgress(0);
        LeaveUpgrade(LoadString(Ids::DeviceSilent) + u'\n');
        return;
    }
}

void CDlgUpdate::LeaveUpgrade(const QString& logLine, bool restartUsable)
{
    m_host.Upgrade().Stop(false);
    EndRun();
    if (!logLine.isEmpty())
        AppendLog(logLine);
    EnableButtons(true, restartUsable);
    m_host.EnablePortChoice(true);
}
