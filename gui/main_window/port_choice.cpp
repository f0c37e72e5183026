#include "gui/main_window/port_choice.h"

#include "core/config/network_address.h"
#include "gui/dialogs/message_box.h"
#include "gui/main_window/port_list.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

#include <QComboBox>
#include <QFileInfo>

using namespace Qt::StringLiterals;

CPortChoice::CPortChoice(Window window, LineState& line) : m_window(std::move(window)), m_line(line) {}

void CPortChoice::Refresh()
{
    QList<SystemPort> extra = ExtraPorts(SystemPorts());
    for (const QString& address : RememberedNetworkPorts())
        extra.append({.strName = address, .strLocation = address});
    FillPortList(m_window.list(), extra, m_line.strDevice);
}

void CPortChoice::AddNetworkPort()
{
    const std::optional<QString> address = AskText(LoadString(Ids::NetworkPortPrompt), LoadString(Ids::MessageCaption));
    if (!address || address->isEmpty())
        return;
    const QString problem = IsNetworkName(*address) ? PortNameProblem(*address)
                                                    : LoadString(Ids::NotAnAddress).arg(*address);
    if (!problem.isEmpty()) {
        MessageBox(problem, LoadString(Ids::MessageCaption), MessageIcon::Warning);
        return;
    }
    RememberNetworkPort(*address);
    Refresh();
    const int index = m_window.list()->findData(*address);
    m_window.list()->setCurrentIndex(index);
    m_window.chosen(index);
}

void CPortChoice::Restore()
{
    const QString port = RememberedPort();
    if (port.isEmpty())
        return;
    const int com = m_window.list()->findText(port, Qt::MatchExactly);
    if (com >= 0 && com < kListedComPorts) {
        m_window.list()->setCurrentIndex(com);
        m_line.nPort = PortForIndex(com);
        RestoreRate();
        return;
    }
    const int extra = m_window.list()->findData(port);
    if (extra >= kListedComPorts) { // offered again: the adapter is present
        m_window.list()->setCurrentIndex(extra);
        m_line.nPort = 0;
        m_line.strDevice = port;
        RestoreRate();
    }
}

void CPortChoice::Choose(int index)
{
    m_strLostDevice.clear(); // another port chosen: the lost one is not reopened
    m_line.strDevice = DeviceOfEntry(m_window.list(), index);
    m_line.nPort = m_line.strDevice.isEmpty() ? PortForIndex(index) : 0;
    RememberPort(Name());
    RestoreRate();
    ShowDevices();
}

void CPortChoice::RememberRate(int baud) const
{
    ::RememberRate(Name(), baud);
}

void CPortChoice::RestoreRate() const
{
    if (const int baud = RememberedRate(Name()))
        m_window.rate(baud);
}

void CPortChoice::ShowDevices()
{
    // COM1..COM5 stay the names on screen; the tooltips say which device each
    // one opens, as config.ini maps it.
    for (const ComPort& com : ComPorts())
        m_window.list()->setItemData(static_cast<int>(com.nNumber) - 1, com.strDevice, Qt::ToolTipRole);
    const QString device = Device();
    m_window.list()->setToolTip(device);
    m_window.shown(device);
}

int CPortChoice::EntryOf(const NamedPort& port) const
{
    if (port.nComNumber > 0 && port.nComNumber <= unsigned(kListedComPorts))
        return static_cast<int>(port.nComNumber) - 1;
    return m_window.list()->findData(port.strDevice);
}

QString CPortChoice::Name() const
{
    return m_line.strDevice.isEmpty() ? u"COM%1"_s.arg(m_line.nPort) : m_line.strDevice;
}

void CPortChoice::NoteSerialNumber()
{
    // Only an adapter chosen past COM5 is followed to a new name: the OS's
    // list is looked up for it alone.
    m_strSerialNumber = m_line.strDevice.isEmpty() ? QString() : SerialNumberOf(SystemPorts(), m_line.strDevice);
}

bool CPortChoice::LostDeviceBack()
{
    // A device server is back when a connection to it opens: the window tries.
    if (IsNetworkName(m_strLostDevice))
        return true;
    // A by-id name comes back when the same adapter is plugged in again; an
    // adapter chosen past COM5 may come back under a new name, known by its
    // USB serial number.
    if (!QFileInfo::exists(m_strLostDevice) && !m_line.strDevice.isEmpty()) {
        const QString moved = LocationOfSerialNumber(SystemPorts(), m_strSerialNumber);
        if (moved.isEmpty())
            return false;
        m_strLostDevice = m_line.strDevice = moved;
        RememberPort(moved);
        Refresh();
        ShowDevices();
    }
    return QFileInfo::exists(m_strLostDevice);
}
