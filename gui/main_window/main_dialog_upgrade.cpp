// The main dialog's side of a firmware upgrade: what the upgrade exchange
// tells, in the page's log and boxes, and every way a run ends.
#include "main_window/main_dialog.h"

#include "firmware/package_reader.h"
#include "pages/upgrade/camera_reports.h"
#include "resources/resource_module.h"
#include "resources/string_ids.h"

using namespace Qt::StringLiterals;

void CMyCorvixDlg::OnUpgradeChar(unsigned ch)
{
    m_upgrade.Receive(static_cast<char>(ch));
}

CUpgradeExchange::Events CMyCorvixDlg::UpgradeEvents()
{
    return {
        [this] { return m_bPortOpen && m_bConfigRead; },
        [this](int) { m_dlgUpdate.AppendLog(LoadString(Ids::LogRequest)); },
        [this](bool running) {
            GetDlgItem(1021)->setEnabled(!running);
            GetDlgItem(1016)->setEnabled(!running);
        },
        [this](const QString& fileName) {
            m_dlgUpdate.AppendLog(LoadString(Ids::LogUpgradeStart));
            m_dlgUpdate.AppendLog(LoadString(Ids::LogTransferring) + PrintableName(fileName) + u'\n');
        },
        [this](int percent) { m_dlgUpdate.SetProgress(percent); },
        [this](const TransferReport& report) {
            m_dlgUpdate.AppendLog(LoadString(Ids::LogTransferDone));
            m_dlgUpdate.AppendLog(LoadString(Ids::LogTransferRate)
                                      .arg(report.nBytes)
                                      .arg(double(report.nElapsedMs) / 1000.0, 0, 'f', 2)
                                      .arg(TransferRate(report)));
            m_dlgUpdate.SetProgress(99);
        },
        [this] {
            // Stored but not yet done: a camera that never finishes can still be restarted.
            m_dlgUpdate.AppendLog(LoadString(Ids::DeviceReceived) + u'\n');
            m_dlgUpdate.GetDlgItem(1073)->setEnabled(true);
        },
        [this](CUpgradeExchange::Outcome outcome, const QString& detail) { OnUpgradeFinished(outcome, detail); },
    };
}

void CMyCorvixDlg::OnUpgradeFinished(CUpgradeExchange::Outcome outcome, const QString& detail)
{
    using Outcome = CUpgradeExchange::Outcome;
    switch (outcome) {
    case Outcome::Done:
        m_dlgUpdate.SendNextImage(); // its trigger follows the "R"
        break;
    case Outcome::Reported:
        m_dlgUpdate.AppendLog(LoadString(Ids::LogCameraReport).arg(detail));
        if (const int textId = ReportStringId(detail.toStdString()))
            MessageFromTable(textId);
        m_dlgUpdate.SetProgress(0);
        LeaveUpgrade(QString(), false); // restart stays locked, as after unanswered requests
        break;
    case Outcome::Unanswered:
        LeaveUpgrade(LoadString(Ids::LogRequestFailed), false);
        break;
    case Outcome::NotReady:
        LeaveUpgrade(LoadString(Ids::PortNotReady) + u'\n');
        break;
    case Outcome::ImageUnreadable:
        LeaveUpgrade(LoadString(Ids::LogImageUnreadable) + detail + u'\n');
        break;
    case Outcome::PortGone:
        LeaveUpgrade(LoadString(Ids::LogPortClosed));
        break;
    case Outcome::Silent:
        m_dlgUpdate.SetProgress(0);
        LeaveUpgrade(LoadString(Ids::DeviceSilent) + u'\n');
        break;
    }
}

void CMyCorvixDlg::LeaveUpgrade(const QString& logLine, bool restartUsable)
{
    m_upgrade.Cancel();
    m_dlgUpdate.EndRun();
    if (!logLine.isEmpty())
        m_dlgUpdate.AppendLog(logLine);
    m_dlgUpdate.EnableButtons(true, restartUsable);
    EnablePortChoice(true);
}
