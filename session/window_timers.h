#pragma once

#include <QObject>
#include <functional>
#include <map>

class QTimer;

// A window's timers by their fixed numbers: SetTimer starts (or restarts)
// one, KillTimer stops it, and every expiry calls the window's OnTimer(id).
// Tests read a timer's period and state instead of waiting for it.
class CWindowTimers final : public QObject {
public:
    explicit CWindowTimers(std::function<void(int)> onTimer, QObject* parent = nullptr);

    void SetTimer(int id, int intervalMs);
    void KillTimer(int id);
    bool IsActive(int id) const;
    int Interval(int id) const; // 0 for a timer never set
    // The expiry at once, as if its time had come: a test's way past a
    // wait of seconds.
    void Fire(int id) { m_onTimer(id); }

private:
    std::function<void(int)> m_onTimer;
    std::map<int, QTimer*> m_timers;
};
