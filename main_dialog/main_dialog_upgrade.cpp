// The main dialog's side of a firmware upgrade: the camera's replies, the
// image transfer and its outcome, and every way a run ends.
#include "main_dialog/main_dialog.h"

#include "res/resource_module.h"
#include "res/string_ids.h"

#include <QThread>

using namespace Qt::StringLiterals;

void CMyCorvixDlg::OnUpgradeChar(unsigned ch)
{
    switch (m_upgradeReplies.Receive(static_cast<char>(ch))) {
    case CUpgradeReplies::Event::Ready:
        // The camera asks again while an image streams: one transfer at a time.
        if (m_transfer.IsRunning())
            break;
        m_timers.KillTimer(kTimerUpgradeRequest);
        m_nUpgradeTries = 0;
        m_Port.QueueWrite("U");
        QThread::msleep(kReadyPauseMs);
        TransferImage();
        break;
    case CUpgradeReplies::Event::Stored:
        m_bUpgradeAck = 1;
        break;
    case CUpgradeReplies::Event::Done:
        CancelTransfer();
        m_timers.KillTimer(kTimerAfterTransfer);
        QThread::msleep(kReleasePauseMs);
        m_Port.QueueWrite("R");
        m_bUpgradeMode = 0;
        m_bUpgradeAck = 1;
        m_dlgUpdate.SendNextImage();
        break;
    case CUpgradeReplies::Event::Report: {
        CancelTransfer();
        m_timers.KillTimer(kTimerAfterTransfer);
        if (const int textId = ReportStringId(m_upgradeReplies.Report()))
            MessageFromTable(textId);
        m_Port.QueueWrite("R");
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

void CMyCorvixDlg::TransferImage()
{
    GetDlgItem(1021)->setEnabled(false);
    GetDlgItem(1016)->setEnabled(false);
    if (!m_bPortOpen || !m_bConfigRead) {
        LeaveUpgrade(LoadString(Ids::PortNotReady) + u'\n');
        OnTransferEnded();
        return;
    }
    // Cleared before the first byte: an 'S' may overtake the transfer's end.
    m_bUpgradeAck = 0;
    m_transfer.Start({m_dlgUpdate.m_aImagePaths.value(m_dlgUpdate.m_nNextImage - 1), m_dlgUpdate.m_nImageKind,
                      m_dlgUpdate.m_nChecksum, QByteArray()});
}

CImageTransfer::Events CMyCorvixDlg::TransferEvents()
{
    return {
        [this](const QString& fileName) {
            m_dlgUpdate.AppendLog(LoadString(Ids::LogUpgradeStart));
            m_dlgUpdate.AppendLog(LoadString(Ids::LogTransferring) + fileName + u'\n');
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
    m_upgradeReplies.Reset();
    m_dlgUpdate.EnableButtons(true, restartUsable);
    EnablePortChoice(true);
}
