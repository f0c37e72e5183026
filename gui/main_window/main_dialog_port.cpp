// The main dialog's port state: the serial settings, the open/close button,
// and a device that went away.
#include "gui/main_window/main_dialog.h"

#include "core/config/com_ports.h"
#include "gui/dialogs/message_box.h"
#include "gui/main_window/port_list.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "serial/line_trace.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

LineOpening CMyCorvixDlg::Opening() const
{
    const NamedPort port = ResolvePort(PortName());
    return {.nNumber = port.nComNumber,
            .strDevice = port.strDevice,
            .nBaud = m_line.nBaud,
            .cParity = m_line.cParity,
            .nDataBits = m_line.nDataBits,
            .nStopBits = m_line.nStopBits};
}

void CMyCorvixDlg::NoteSerialNumber()
{
    // Only an adapter chosen past COM5 is followed to a new name: the OS's
    // list is looked up for it alone.
    m_strSerialNumber = m_line.strDevice.isEmpty() ? QString() : SerialNumberOf(SystemPorts(), m_line.strDevice);
}

QString CMyCorvixDlg::PortName() const
{
    return m_line.strDevice.isEmpty() ? u"COM%1"_s.arg(m_line.nPort) : m_line.strDevice;
}

QString CMyCorvixDlg::Device() const
{
    return ResolvePort(PortName()).strDevice;
}

void CMyCorvixDlg::RefreshPortList()
{
    FillPortList(List(1007), ExtraPorts(SystemPorts()), m_line.strDevice);
}

void CMyCorvixDlg::RestoreChosenPort()
{
    const QString port = RememberedPort();
    if (port.isEmpty())
        return;
    QComboBox* ports = List(1007);
    const int com = ports->findText(port, Qt::MatchExactly);
    if (com >= 0 && com < kListedComPorts) {
        ports->setCurrentIndex(com);
        m_line.nPort = PortForIndex(com);
        return;
    }
    const int extra = ports->findData(port);
    if (extra >= 5) { // offered again: the adapter is present
        ports->setCurrentIndex(extra);
        m_line.nPort = 0;
        m_line.strDevice = port;
    }
}

void CMyCorvixDlg::ReportOpenFailure(int textId)
{
    const PortOpenError& error = m_connection.OpenError();
    SetStatus(OpenFailureStatus(m_line, LoadString(Ids::OpenFailed), error));
    MessageBox(OpenFailureText(LoadString(textId), error, LoadString(Ids::DialoutHint)),
               LoadString(Ids::MessageCaption));
}

void CMyCorvixDlg::StartReading()
{
    m_bReadAfterOpening = true;
    m_host.ReadCycle();
    m_timers.SetTimer(kTimerNoReply, 2000);
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
    switch (listId) {
    case 1008: m_line.nBaud = BaudForIndex(index); break;
    case 1009: m_line.cParity = ParityForIndex(index); break;
    case 1010: m_line.nDataBits = DataBitsForIndex(index); break;
    case 1013: m_line.nStopBits = StopBitsForIndex(index); break;
    default: return;
    }
    m_takenSettings[listId] = index;
    const bool wasOpen = m_connection.PortOpen();
    NoteSerialNumber();
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
    m_strLostDevice.clear(); // another port chosen: the lost one is not reopened
    m_connection.Close();
    m_line.strDevice = DeviceOfEntry(List(1007), index);
    m_line.nPort = m_line.strDevice.isEmpty() ? PortForIndex(index) : 0;
    RememberPort(PortName());
    ShowPortDevices();
    // Opened to tell the user at once whether the port is there, then closed:
    // the port counts as closed until the button opens it.
    ShowPortIcon(false);
    NoteSerialNumber();
    if (m_connection.Probe(Opening())) {
        SetStatus(ClosedStatusText(m_line, LoadString(Ids::StateClosed)));
    } else {
        ReportOpenFailure(Ids::PortNotFound);
    }
    m_controls.Item<QPushButton>(1016)->setText(LoadString(Ids::OpenPort));
}

void CMyCorvixDlg::OnOpenClosePort()
{
    m_strLostDevice.clear(); // the technician decides now
    auto* button = m_controls.Item<QPushButton>(1016);
    if (m_connection.PortOpen()) {
        EndOpenState(LoadString(Ids::PortClosed));
        return;
    }

    button->setText(LoadString(Ids::ClosePort));
    NoteSerialNumber();
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
    m_strLostDevice = Device();
    m_timers.SetTimer(kTimerReplug, 1000);
}

void CMyCorvixDlg::OnReplugCheck()
{
    if (m_strLostDevice.isEmpty() || m_connection.PortOpen()) {
        m_timers.KillTimer(kTimerReplug);
        return;
    }
    // A by-id name comes back when the same adapter is plugged in again; an
    // adapter chosen past COM5 may come back under a new name, known by its
    // USB serial number. A device that is there but not ready yet is tried
    // again next second.
    if (!QFileInfo::exists(m_strLostDevice) && !m_line.strDevice.isEmpty()) {
        const QString moved = LocationOfSerialNumber(SystemPorts(), m_strSerialNumber);
        if (moved.isEmpty())
            return;
        m_strLostDevice = m_line.strDevice = moved;
        RememberPort(moved);
        RefreshPortList();
        ShowPortDevices();
    }
    NoteSerialNumber();
    if (!QFileInfo::exists(m_strLostDevice) || !m_connection.Open(Opening()))
        return;
    m_strLostDevice.clear();
    m_timers.KillTimer(kTimerReplug);
    m_dlgUpdate.OnReplugged();
    ShowPortIcon(true);
    m_controls.Item<QPushButton>(1016)->setText(LoadString(Ids::ClosePort));
    SetStatus(OpenStatusText(m_line, LoadString(Ids::StateOpen)) + LoadString(Ids::Reconnected));
    StartReading();
}

void CMyCorvixDlg::ShowCommError(const CommErrorReport& report)
{
    const QString text = u"WARNING:  %1 Failed with the following error: \n%2\nPort: %3\n"_s
                             .arg(report.strStep, report.strSystemText)
                             .arg(report.nPortNumber);
    MessageBox(text, u"Application Error"_s, MessageIcon::Stop);
}

QComboBox* CMyCorvixDlg::List(int id) const
{
    return m_controls.Item<QComboBox>(id);
}

void CMyCorvixDlg::ShowPortDevices()
{
    // COM1..COM5 stay the names on screen; the tooltips say which device each
    // one opens, as config.ini maps it.
    QComboBox* ports = List(1007);
    for (const ComPort& com : ComPorts())
        ports->setItemData(static_cast<int>(com.nNumber) - 1, com.strDevice, Qt::ToolTipRole);
    const QString device = Device();
    ports->setToolTip(device);
    SetStatusToolTip(device);
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
