#include "gui/pages/page_host.h"

#include "session/camera_session.h"
#include "session/upgrade_run.h"

CPageHost::CPageHost(CCameraSession& session, CUpgradeRun& upgrade, CWindowTimers& timers)
    : m_session(session), m_upgrade(upgrade), m_timers(timers)
{
}

void CPageHost::ReadCycle()
{
    if (UpgradeMode())
        return;
    m_session.Sender().Then([this] { m_bReplySeen = 0; });
    m_session.ReadCycle();
}

void CPageHost::WriteRegister(int value, int reg)
{
    if (m_bPortOpen && m_bConfigRead && !UpgradeMode())
        m_session.WriteRegister(value, reg);
}

void CPageHost::PauseWrites(int ms)
{
    if (m_bPortOpen)
        m_session.Sender().Pause(ms);
}

void CPageHost::AfterWrites(std::function<void()> step)
{
    m_session.WhenSent(std::move(step));
}

bool CPageHost::WritesPending() const
{
    return m_session.WritesPending();
}

const RegisterImage& CPageHost::Registers() const
{
    return m_session.Registers();
}

bool CPageHost::Reading() const
{
    return m_session.Reading() || m_session.Searching();
}

bool CPageHost::UpgradeMode() const
{
    return m_upgrade.Running();
}
