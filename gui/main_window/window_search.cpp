#include "gui/main_window/window_search.h"

#include "core/config/com_ports.h"
#include "gui/dialogs/message_box.h"
#include "gui/main_window/find_camera_dlg.h"
#include "gui/main_window/serial_settings.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "session/camera_scan.h"

using namespace Qt::StringLiterals;

CWindowSearch::CWindowSearch(CCameraScan& scan, QWidget* dialogParent, Window window)
    : m_scan(scan), m_dialogParent(dialogParent), m_window(std::move(window))
{
}

void CWindowSearch::AtOpenPort()
{
    // Asked after a box with its own event loop: the port may have changed meanwhile.
    if (!m_window.portOpen() || m_window.upgrading() || m_scan.Running())
        return;
    m_window.searchBegins();
    m_scan.Start(m_window.rate(), {[this](int baud) { m_window.say(LoadString(Ids::Searching).arg(baud)); },
                                   [this](const std::optional<ScanFinding>& finding) { OnAtOpenPortEnded(finding); }});
}

void CWindowSearch::OnAtOpenPortEnded(const std::optional<ScanFinding>& finding)
{
    if (!finding) {
        m_window.say(LoadString(Ids::ReadFailed));
        MessageBox(LoadString(Ids::CameraNotFound), LoadString(Ids::MessageCaption));
        return;
    }
    m_window.say(QString()); // the "trying" is over
    m_window.readAt(finding->nBaud);
}

void CWindowSearch::AtEveryPort()
{
    if (m_window.upgrading())
        return;
    m_window.releasePort();
    std::optional<PortScanResult> chosen;
    {
        // The window's port closes on its monitor thread: searched once it has.
        CFindCameraDlg search(m_window.ports(), m_window.rate(), m_window.portsFree, m_window.trace(),
                              m_dialogParent);
        if (search.exec() == QDialog::Accepted)
            chosen = search.Chosen();
    } // its ports are closed here
    if (chosen)
        m_window.open(*chosen);
}

std::vector<PortToScan> PortsToScan(const QStringList& entryDevices)
{
    std::vector<PortToScan> ports;
    for (int index = 0; index < entryDevices.size(); ++index) {
        const QString& device = entryDevices[index];
        ports.push_back(ResolvePort(device.isEmpty() ? u"COM%1"_s.arg(PortForIndex(index)) : device));
    }
    return ports;
}
