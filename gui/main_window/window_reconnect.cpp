#include "gui/main_window/window_reconnect.h"

#include "gui/main_window/port_choice.h"
#include "session/camera_connection.h"
#include "session/window_timers.h"

CWindowReconnect::CWindowReconnect(CPortChoice& ports, CCameraConnection& connection, CWindowTimers& timers,
                                   Window window)
    : m_ports(ports), m_connection(connection), m_timers(timers), m_window(std::move(window))
{
}

void CWindowReconnect::Watch()
{
    m_ports.Lost();
    m_timers.SetTimer(kTimerReplug, 1000);
}

bool CWindowReconnect::OnTimer(int id)
{
    if (id != kTimerReplug)
        return false;
    Check();
    return true;
}

void CWindowReconnect::Check()
{
    if (!m_ports.Watching() || m_connection.PortOpen()) {
        m_timers.KillTimer(kTimerReplug);
        return;
    }
    // A device that is there but not ready yet is tried again next second.
    if (m_connection.Connecting() || !m_ports.LostDeviceBack())
        return;
    m_connection.OpenThen(m_window.opening(), CCameraConnection::Intent::Reconnect, [this](bool opened) {
        if (!opened)
            return;
        m_ports.ForgetLoss();
        m_timers.KillTimer(kTimerReplug);
        m_window.reopened();
    });
}
