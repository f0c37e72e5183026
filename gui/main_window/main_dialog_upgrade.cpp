// The main dialog's side of a firmware upgrade: the camera's replies, the
// image transfer and its outcome, and every way a run ends.
#include "main_window/main_dialog.h"

#include "firmware/package_reader.h"
#include "pages/upgrade/camera_reports.h"
#include "resources/resource_module.h"
#include "resources/string_ids.h"


using namespace Qt::StringLiterals;

void CMyCorvixDlg::OnUpgradeChar(unsigned ch)
{
    switch (m_upgradeReplies.Receive(static_cast<char>(ch))) {
    case CUpgradeReplies::Event::Ready:
        // The camera asks again while an image streams: one transfer at a time.
        if (m_transfer.IsRunning() || m_bTransferDue)
            break;
        m_timers.KillTimer(kTimerUpgradeRequest);
        m_nUpgradeTries = 0;
        m_bTransferDue = true;
        m_sender.Send("U", kReadyPauseMs);
        m_sender.Then([this] {
            m_bTransferDue = false;
            TransferImage();
        });
        break;
    case CUpgradeReplies::Event::Stored:
        m_bUpgradeAck = 1;
        break;
    case CUpgradeReplies::Event::Done:
        // The camera may answer as the last byte arrives, while the transfer's
        // last pause still runs: the transfer's end is logged first.
        if (m_transfer.IsRunning())
            m_bDoneDuringTransfer = true;
        else
            OnImageDone();
        break;
    case CUpgradeReplies::Event::Report: {
        CancelTransfer();
        m_timers.KillTimer(kTimerAfterTransfer);
        const std::string& report = m_upgradeReplies.Report();
        m_dlgUpdate.AppendLog(LoadString(Ids::LogCameraReport).arg(QString::fromLatin1(report.data(), qsizetype(report.size()))));
        if (const int textId = ReportStringId(report))
            MessageFromTable(textId);
        m_sender.Send("R");
        m_bUpgradeMode = 0;
        m_dlgUpdate.SetProgress(0);
        m_dlgUpdate.EnableButtons(true, false); // restart stays locked, as after unanswered requests
        EnablePortChoice(true);
        break;
    }
    case CUpgradeReplies::Event::None:
        break;
    }
}

void CMyCorvixDlg::OnImageDone()
{
    m_timers.KillTimer(kTimerAfterTransfer);
    m_sender.Pause(kReleasePauseMs);
    m_sender.Send("R");
    m_bUpgradeMode = 0;
    m_bUpgradeAck = 1;
    m_dlgUpdate.SendNextImage(); // its trigger follows the "R"
}

void CMyCorvixDlg::TransferImage()
{
    GetDlgItem(1021)->setEnabled(false);
    GetDlgItem(1016)->setEnabled(false);
    if (!m_bPortOpen || !m_bConfigRead) {
        LeaveUpgrade(LoadString(Ids::PortNotReady) + u'\n');
        OnTransferEnded();
        return;
    }
    // Cleared before the first byte: an 'S' or 'D' may overtake the transfer's end.
    m_bUpgradeAck = 0;
    m_bDoneDuringTransfer = false;
    m_transfer.Start({m_dlgUpdate.m_aImagePaths.value(m_dlgUpdate.m_nNextImage - 1), m_dlgUpdate.m_nImageKind,
                      m_dlgUpdate.m_nChecksum, std::nullopt});
}

CImageTransfer::Events CMyCorvixDlg::TransferEvents()
{
    return {
        [this](const QString& fileName) {
            m_dlgUpdate.AppendLog(LoadString(Ids::LogUpgradeStart));
            m_dlgUpdate.AppendLog(LoadString(Ids::LogTransferring) + PrintableName(fileName) + u'\n');
        },
        [this](int percent) { m_dlgUpdate.SetProgress(percent); },
        [this](const TransferReport& report) { OnTransferFinished(report); },
    };
}

void CMyCorvixDlg::OnTransferFinished(const TransferReport& report)
{
    switch (report.outcome) {
    case TransferReport::Outcome::Sent:
        m_dlgUpdate.AppendLog(LoadString(Ids::LogTransferDone));
        m_dlgUpdate.AppendLog(LoadString(Ids::LogTransferRate)
                                  .arg(report.nBytes)
                                  .arg(double(report.nElapsedMs) / 1000.0, 0, 'f', 2)
                                  .arg(TransferRate(report)));
        m_dlgUpdate.SetProgress(99);
        m_timers.SetTimer(kTimerAfterTransfer, kAnswerWaitMs);
        break;
    case TransferReport::Outcome::ImageUnreadable:
        LeaveUpgrade(LoadString(Ids::LogImageUnreadable) + report.strDetail + u'\n');
        break;
    case TransferReport::Outcome::PortGone:
        LeaveUpgrade(LoadString(Ids::LogPortClosed));
        break;
    }
    OnTransferEnded();
    if (std::exchange(m_bDoneDuringTransfer, false))
        OnImageDone();
}

void CMyCorvixDlg::OnTransferEnded()
{
    GetDlgItem(1021)->setEnabled(true);
    GetDlgItem(1016)->setEnabled(true);
}

void CMyCorvixDlg::CancelTransfer()
{
    if (!m_transfer.IsRunning())
        return;
    m_transfer.Cancel();
    OnTransferEnded();
}

void CMyCorvixDlg::OnTransferAnswerTimeout()
{
    if (!m_bUpgradeMode)
        return;
    if (m_bUpgradeAck) {
        // Stored but not yet done: keep waiting for 'D'; a camera that never
        // finishes can still be restarted.
        m_dlgUpdate.AppendLog(LoadString(Ids::DeviceReceived) + u'\n');
        m_dlgUpdate.GetDlgItem(1073)->setEnabled(true);
        return;
    }
    m_dlgUpdate.SetProgress(0);
    LeaveUpgrade(LoadString(Ids::DeviceSilent) + u'\n');
}

void CMyCorvixDlg::LeaveUpgrade(const QString& logLine, bool restartUsable)
{
    CancelTransfer();
    m_dlgUpdate.AppendLog(logLine);
    m_timers.KillTimer(kTimerUpgradeRequest);
    m_timers.KillTimer(kTimerAfterTransfer);
    m_nUpgradeTries = 0;
    m_bUpgradeMode = 0;
    m_bDoneDuringTransfer = false;
    m_bTransferDue = false;
    m_upgradeReplies.Reset();
    m_dlgUpdate.EnableButtons(true, restartUsable);
    EnablePortChoice(true);
}
