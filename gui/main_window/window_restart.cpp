#include "gui/main_window/window_restart.h"

#include "core/protocol/link_protocol.h"
#include "gui/dialogs/message_box.h"
#include "gui/pages/page_host.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "session/window_timers.h"

CWindowRestart::CWindowRestart(CPageHost& host, CWindowTimers& timers, Window window)
    : m_host(host), m_timers(timers), m_window(std::move(window))
{
}

void CWindowRestart::Restart(int mode)
{
    if (!m_window.portOpen()) {
        m_host.SayNotReady();
        return;
    }
    m_host.WriteRegister(0, kRestartRegister);
    m_host.WriteRegister(1, kRestartRegister);
    if (mode == 0)
        return;
    // Closed once the trigger is out; reopened 12 s later.
    m_host.AfterWrites([this] {
        if (!m_window.portOpen())
            return; // closed meanwhile: the technician decides
        m_window.openClosePort(); // closes, since the port is open
        m_window.enablePortButton(false);
        m_timers.SetTimer(CPageHost::kTimerReopen, kReopenMs);
        m_timers.SetTimer(kTimerCountdown, 1000);
        m_sinceClose.start();
        m_window.log(LoadString(Ids::LogRestartWaiting).arg(kReopenMs / 1000));
        ShowCountdown();
    });
}

bool CWindowRestart::OnTimer(int id)
{
    if (id == kTimerCountdown) {
        ShowCountdown();
        return true;
    }
    if (id != CPageHost::kTimerReopen)
        return false;
    m_timers.KillTimer(CPageHost::kTimerReopen);
    m_timers.KillTimer(kTimerCountdown);
    m_window.openClosePort(); // reopens and reads the configuration again
    m_window.enablePortButton(true);
    return true;
}

void CWindowRestart::ShowCountdown()
{
    const qint64 leftMs = kReopenMs - m_sinceClose.elapsed();
    m_window.status(LoadString(Ids::RestartCountdown).arg(std::max<qint64>(1, (leftMs + 999) / 1000)));
}
