#include "serial/monitor_thread.h"

#include "serial/serial_port.h"

void CMonitorThread::run()
{
    m_nExitCode = m_port.MonitorThread();
}
