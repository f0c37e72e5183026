#include "gui/pages/page_host.h"

#include "gui/dialogs/message_box.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "session/camera_connection.h"

CPageHost::CPageHost(CCameraConnection& connection, CWindowTimers& timers)
    : m_connection(connection), m_timers(timers)
{
}

void CPageHost::ReadCycle()
{
    if (UpgradeMode())
        return;
    m_connection.ReadCycle();
}

void CPageHost::BeginWrite(const QString& what)
{
    if (PortOpen() && ConfigRead() && !UpgradeMode())
        m_connection.BeginWrite(what);
}

void CPageHost::SayBackupNotKept(const QString& why)
{
    MessageBox(LoadString(Ids::BackupNotKept).arg(why), LoadString(Ids::MessageCaption), MessageIcon::Warning);
}

void CPageHost::WriteRegister(int value, int reg)
{
    if (PortOpen() && ConfigRead() && !UpgradeMode())
        m_connection.Session().WriteRegister(value, reg);
}

void CPageHost::PauseWrites(int ms)
{
    if (PortOpen())
        m_connection.Session().Sender().Pause(ms);
}

void CPageHost::AfterWrites(std::function<void()> step)
{
    m_connection.Session().WhenSent(std::move(step));
}

bool CPageHost::WritesPending() const
{
    return m_connection.Session().WritesPending();
}

const RegisterImage& CPageHost::Registers() const
{
    return m_connection.Session().Registers();
}

bool CPageHost::Reading() const
{
    return m_connection.Session().Reading() || m_connection.Session().Searching();
}

bool CPageHost::UpgradeMode() const
{
    return m_connection.Upgrade().Running();
}

CUpgradeRun& CPageHost::Upgrade()
{
    return m_connection.Upgrade();
}

bool CPageHost::PortOpen() const
{
    return m_connection.PortOpen();
}

bool CPageHost::ConfigRead() const
{
    return m_connection.ConfigRead();
}

bool CPageHost::ReplySeen() const
{
    return m_connection.ReplySeen();
}

void CPageHost::SayNotReady() const
{
    const int cause = !PortOpen()       ? Ids::WhyPortClosed
                      : Reading()       ? Ids::WhyStillReading
                      : !ConfigRead()   ? Ids::WhyNotRead
                      : UpgradeMode()   ? Ids::WhyUpgrading
                      : WritesPending() ? Ids::WhyWritesPending
                                        : Ids::WhyNotRead;
    MessageBox(LoadString(Ids::PortNotReady) + u'\n' + LoadString(cause), LoadString(Ids::MessageCaption),
               MessageIcon::Warning);
}

int CPageHost::ReplyWaitMs(int lineMs) const
{
    return lineMs + m_connection.Session().Line().RoundTripMs();
}
