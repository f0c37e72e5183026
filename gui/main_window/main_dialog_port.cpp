// The main dialog's port: the line settings, the open/close button, a lost device.
#include "gui/main_window/main_dialog.h"
#include "gui/main_window/port_access_hint.h"

#include "core/config/network_address.h"
#include "gui/dialogs/message_box.h"
#include "gui/main_window/link_texts.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "serial/line_trace.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

LineOpening CMyCorvixDlg::Opening()
{
    m_ports.NoteSerialNumber();
    const NamedPort port = m_ports.Resolved();
    return {.nNumber = port.nComNumber,
            .strDevice = port.strDevice,
            .nBaud = m_line.nBaud,
            .cParity = m_line.cParity,
            .nDataBits = m_line.nDataBits,
            .nStopBits = m_line.nStopBits};
}

void CMyCorvixDlg::ReportOpenFailure(int textId)
{
    const PortOpenError& error = m_connection.OpenError();
    SetStatus(OpenFailureStatus(m_line, LoadString(Ids::OpenFailed), error));
    const QString nextStep = OpenFailureNextStep(error);
    MessageBox(OpenFailureText(LoadString(textId), error, PortAccessHint(error)) + nextStep,
               LoadString(Ids::MessageCaption), MessageIcon::Warning);
}

void CMyCorvixDlg::StartReading()
{
    m_host.ReadCycle();
    m_timers.SetTimer(kTimerNoReply, m_host.ReplyWaitMs(2000));
}

void CMyCorvixDlg::OnSettingChange(int listId, int index)
{
    if (index < 0 || index >= List(listId)->count())
        return;
    // The lists are locked while an upgrade runs. What a save or a format
    // change still has to send was meant for the line as it is: the change
    // waits for the technician to make it again once that is out.
    if (UpgradeMode() || m_session.BytesQueued()) {
        List(listId)->setCurrentIndex(m_takenSettings.value(listId));
        if (!UpgradeMode())
            MessageFromTable(Ids::LineSettingsBusy);
        return;
    }
    m_scan.Stop(); // the technician's choice stands
    if (!ApplyLineSetting(&m_line, listId, index))
        return;
    m_takenSettings[listId] = index;
    // The port comes back as the button left it: monitored and read again
    // when the user had opened it, else closed again, so that no device is
    // held unwatched.
    const bool wasOpen = m_connection.PortOpen() || m_connection.Connecting() == CCameraConnection::Intent::Open;
    const LineOpening opening = Opening();
    if (wasOpen && IsNetworkName(opening.strDevice))
        EndOpenState(QString()); // a server takes one client per port: this one goes first
    m_connection.OpenThen(opening, wasOpen ? CCameraConnection::Intent::Open : CCameraConnection::Intent::Probe,
                          [this, wasOpen](bool opened) {
                              if (!opened && wasOpen)
                                  EndOpenState(QString());
                              if (!opened)
                                  ShowOpenFailed(Ids::RetryFailed);
                              else if (wasOpen)
                                  ShowOpened();
                              else
                                  SetStatus(ClosedStatusText(m_line, LoadString(Ids::StateClosed)));
                          });
    ShowConnecting();
    if (RateSetByServer(opening.strDevice))
        ShowTransientLabel(LoadString(Ids::ServerSetsLine).arg(opening.strDevice));
}

void CMyCorvixDlg::OnPortChange(int index)
{
    if (index < 0 || index >= List(1007)->count())
        return;
    if (m_connection.PortOpen())
        EndOpenState(QString());
    m_connection.Close();
    m_ports.Choose(index);
    // Opened to tell the user at once whether the port is there, then closed:
    // the port counts as closed until the button opens it.
    ShowPort(false);
    m_connection.OpenThen(Opening(), CCameraConnection::Intent::Probe, [this](bool opened) {
        opened ? SetStatus(ClosedStatusText(m_line, LoadString(Ids::StateClosed))) : ReportOpenFailure(Ids::PortNotFound);
    });
    ShowConnecting();
}

void CMyCorvixDlg::OnOpenClosePort()
{
    const bool reconnecting = m_ports.Watching();
    m_ports.ForgetLoss(); // the technician decides now
    // An opening that waits for a device server is given up like an open port is closed.
    if (m_connection.PortOpen() || (m_connection.Connecting() == CCameraConnection::Intent::Open && !reconnecting)) {
        EndOpenState(LoadString(Ids::PortClosed));
        return;
    }

    m_connection.OpenThen(Opening(), CCameraConnection::Intent::Open,
                          [this](bool opened) { opened ? ShowOpened() : ShowOpenFailed(Ids::PortNotFound); });
    ShowConnecting();
}

void CMyCorvixDlg::ShowOpened(bool reconnected)
{
    ShowPort(true);
    SetStatus(OpenStatusText(m_line, LoadString(Ids::StateOpen))
              + (reconnected ? LoadString(Ids::Reconnected) : QString()));
    StartReading();
}

void CMyCorvixDlg::ShowOpenFailed(int textId)
{
    ShowPort(false); // the button offers opening again
    ReportOpenFailure(textId);
}

void CMyCorvixDlg::ShowConnecting()
{
    if (!m_connection.Connecting())
        return; // opened or failed already
    ShowPort(false);
    SetStatus(LoadString(Ids::Connecting).arg(m_ports.Resolved().strDevice));
}

void CMyCorvixDlg::EndOpenState(const QString& status)
{
    // What belongs to an open port ends with it: what waits to be sent, the
    // read cycle, the timers waiting for replies, and an upgrade run.
    m_scan.Stop();
    m_sender.Cancel();
    m_connection.Close();
    if (!status.isNull())
        SetStatus(status);
    ShowPort(false);
    m_session.EndCycle();
    m_timers.KillTimer(kTimerNoReply);
    m_timers.KillTimer(kTimerSaveNoReply);
    if (UpgradeMode())
        m_dlgUpdate.LeaveUpgrade(LoadString(Ids::LogPortClosed));
}

void CMyCorvixDlg::OnDeviceLost()
{
    // The port has reported the loss once; the window now shows it closed,
    // and watches for the device to come back under the same name.
    EndOpenState(LoadString(Ids::PortClosed));
    m_reconnect.Watch();
}

QComboBox* CMyCorvixDlg::List(int id) const
{
    return m_controls.Item<QComboBox>(id);
}

void CMyCorvixDlg::ShowPort(bool open)
{
    m_controls.Item<QLabel>(1017)->setPixmap(open ? m_hIconOpen : m_hIconClosed);
    // An opening that waits for a device server is given up as an open port is closed.
    const bool opening = m_connection.Connecting() == CCameraConnection::Intent::Open;
    m_controls.Item<QPushButton>(1016)->setText(LoadString(open || opening ? Ids::ClosePort : Ids::OpenPort));
}

void CMyCorvixDlg::SetStatus(const QString& text)
{
    m_controls.Item<QLabel>(1033)->setText(text);
}

void CMyCorvixDlg::ShowTransientLabel(const QString& text)
{
    m_controls.Item<QLabel>(1072)->setText(text);
    m_timers.KillTimer(kTimerClearLabel);
    m_timers.SetTimer(kTimerClearLabel, 5000);
}

void CMyCorvixDlg::SetStatusToolTip(const QString& tip)
{
    m_strStatusTip = tip;
    const std::shared_ptr<CLineTrace>& trace = m_trace.Current();
    GetDlgItem(1033)->setToolTip(trace ? tip + u'\n' + LoadString(Ids::TraceRunning).arg(trace->Path()) : tip);
}
