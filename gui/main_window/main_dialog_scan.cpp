// The main dialog's search for a camera that does not answer: at the open
// port, rate by rate, after a read failed; or at every port, from the
// context menu.
#include "core/config/com_ports.h"
#include "core/protocol/line_rates.h"
#include "gui/dialogs/message_box.h"
#include "gui/main_window/find_camera_dlg.h"
#include "gui/main_window/main_dialog.h"
#include "gui/main_window/port_list.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

#include <QComboBox>

using namespace Qt::StringLiterals;

void CMyCorvixDlg::FindCameraOnPort()
{
    // The box ran its own event loop: the port may have changed meanwhile.
    if (!m_connection.PortOpen() || UpgradeMode() || m_scan.Running())
        return;
    m_timers.KillTimer(kTimerNoReply);
    m_scan.Start(m_line.nBaud, {[this](int baud) { ShowTransientLabel(LoadString(Ids::Searching).arg(baud)); },
                                [this](const std::optional<ScanFinding>& finding) { OnCameraSearchEnded(finding); }});
}

void CMyCorvixDlg::OnCameraSearchEnded(const std::optional<ScanFinding>& finding)
{
    if (!finding) {
        ShowTransientLabel(LoadString(Ids::ReadFailed));
        MessageBox(LoadString(Ids::CameraNotFound), LoadString(Ids::MessageCaption));
        return;
    }
    // The search left the port at the rate that answered.
    SelectRate(finding->nBaud);
    SetStatus(OpenStatusText(m_line, LoadString(Ids::StateOpen)));
    StartReading();
}

void CMyCorvixDlg::SelectRate(int baud)
{
    const auto rate = std::find(kLineRates.begin(), kLineRates.end(), baud);
    if (rate == kLineRates.end())
        return;
    List(1008)->setCurrentIndex(static_cast<int>(rate - kLineRates.begin()));
    m_takenSettings[1008] = List(1008)->currentIndex();
    m_line.nBaud = baud;
}

std::vector<PortToScan> CMyCorvixDlg::PortsToScan() const
{
    // The ports the list offers; a device two entries open is searched once (CPortsScan).
    std::vector<PortToScan> ports;
    const QComboBox* list = List(1007);
    for (int index = 0; index < list->count(); ++index) {
        const QString device = DeviceOfEntry(list, index);
        const unsigned number = device.isEmpty() ? static_cast<unsigned>(PortForIndex(index)) : 0;
        ports.push_back({device.isEmpty() ? u"COM%1"_s.arg(number) : device,
                         device.isEmpty() ? ResolvePortName(number) : device, number});
    }
    return ports;
}

void CMyCorvixDlg::OpenFindCameraDialog()
{
    if (UpgradeMode())
        return;
    // The window's own port is searched too: it lets go of it first.
    if (m_connection.PortOpen())
        OnOpenClosePort();
    RefreshPortList();
    std::optional<PortScanResult> chosen;
    {
        // The window's port closes on its monitor thread: searched once it has.
        CFindCameraDlg search(PortsToScan(), m_line.nBaud, [this] { return Port().DevicesReleased(); }, this);
        if (search.exec() == QDialog::Accepted)
            chosen = search.Chosen();
    } // its ports are closed here
    if (chosen)
        OpenFoundCamera(*chosen);
}

void CMyCorvixDlg::OpenFoundCamera(const PortScanResult& found)
{
    QComboBox* ports = List(1007);
    const int index = found.port.nNumber > 0 ? static_cast<int>(found.port.nNumber) - 1
                                             : ports->findData(found.port.strDevice);
    if (index < 0 || index >= ports->count())
        return;
    ports->setCurrentIndex(index);
    SelectRate(found.finding->nBaud);
    OnPortChange(index);
    if (!m_connection.PortOpen())
        OnOpenClosePort(); // opens at the rate found and reads the camera
}
