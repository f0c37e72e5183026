#include "session/window_timers.h"

#include <QTimer>

CWindowTimers::CWindowTimers(std::function<void(int)> onTimer, QObject* parent)
    : QObject(parent), m_onTimer(std::move(onTimer))
{
}

void CWindowTimers::SetTimer(int id, int intervalMs)
{
    QTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { m_onTimer(id); });
    }
    timer->start(intervalMs);
}

void CWindowTimers::KillTimer(int id)
{
    if (const auto it = m_timers.find(id); it != m_timers.end())
        it->second->stop();
}

bool CWindowTimers::IsActive(int id) const
{
    const auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive();
}

int CWindowTimers::Interval(int id) const
{
    const auto it = m_timers.find(id);
    return it == m_timers.end() ? 0 : it->second->interval();
}
