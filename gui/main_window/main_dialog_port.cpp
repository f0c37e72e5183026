// The main dialog's port: the line settings, the open/close button, a lost device.
#include "gui/main_window/main_dialog.h"

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
    MessageBox(OpenFailureText(LoadString(textId), error, LoadString(Ids::DialoutHint)) + nextStep,
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
    const bool wasOpen = m_connection.PortOpen();
    // The port comes back as the button left it: monitored and read again
    // when the user had opened it, else closed again, so that no device is
    // held unwatched.
    if (!m_connection.Change(Opening())) {
        if (wasOpen)
            EndOpenState(QString());
        ShowPortIcon(false);
        ReportOpenFailure(Ids::RetryFailed);
        return;
    }
    if (wasOpen) {
        ShowPortIcon(true);
        SetStatus(OpenStatusText(m_line, LoadString(Ids::StateOpen)));
        StartReading();
    } else {
        ShowPortIcon(false);
        SetStatus(ClosedStatusText(m_line, LoadString(Ids::StateClosed)));
    }
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
    ShowPortIcon(false);
    if (m_connection.Probe(Opening()))
        SetStatus(ClosedStatusText(m_line, LoadString(Ids::StateClosed)));
    else
        ReportOpenFailure(Ids::PortNotFound);
    m_controls.Item<QPushButton>(1016)->setText(LoadString(Ids::OpenPort));
}

void CMyCorvixDlg::OnOpenClosePort()
{
    m_ports.ForgetLoss(); // the technician decides now
    auto* button = m_controls.Item<QPushButton>(1016);
    if (m_connection.PortOpen()) {
        EndOpenState(LoadString(Ids::PortClosed));
        return;
    }

    button->setText(LoadString(Ids::ClosePort));
    if (!m_connection.Open(Opening())) {
        ShowPortIcon(false);
        ReportOpenFailure(Ids::PortNotFound);
        // Nothing is open: the button offers opening again.
        button->setText(LoadString(Ids::OpenPort));
        return;
    }
    ShowPortIcon(true);
    SetStatus(OpenStatusText(m_line, LoadString(Ids::StateOpen)));
    StartReading();
}

void CMyCorvixDlg::EndOpenState(const QString& status)
{
    // What belongs to an open port ends with it: what waits to be sent, the
    // read cycle, the timers waiting for replies, and an upgrade run.
    m_scan.Stop();
    m_sender.Cancel();
    m_connection.Close();
    m_controls.Item<QPushButton>(1016)->setText(LoadString(Ids::OpenPort));
    if (!status.isNull())
        SetStatus(status);
    ShowPortIcon(false);
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
    m_ports.Lost();
    m_timers.SetTimer(kTimerReplug, 1000);
}

void CMyCorvixDlg::OnReplugCheck()
{
    if (!m_ports.Watching() || m_connection.PortOpen()) {
        m_timers.KillTimer(kTimerReplug);
        return;
    }
    // A device that is there but not ready yet is tried again next second.
    if (!m_ports.LostDeviceBack())
        return;
    if (!m_connection.Open(Opening()))
        return;
    m_ports.ForgetLoss();
    m_timers.KillTimer(kTimerReplug);
    ShowPortIcon(true);
    m_controls.Item<QPushButton>(1016)->setText(LoadString(Ids::ClosePort));
    SetStatus(OpenStatusText(m_line, LoadString(Ids::StateOpen)) + LoadString(Ids::Reconnected));
    StartReading();
}

QComboBox* CMyCorvixDlg::List(int id) const
{
    return m_controls.Item<QComboBox>(id);
}

void CMyCorvixDlg::ShowPortIcon(bool open)
{
    m_controls.Item<QLabel>(1017)->setPixmap(open ? m_hIconOpen : m_hIconClosed);
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
