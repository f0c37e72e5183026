#include "monitor_thread.h"

#include "serial_port.h"

void CMonitorThread::run()
{
    m_nExitCode = m_port.MonitorThread();
}
