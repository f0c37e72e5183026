#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>

class CPageHost;
class CWindowTimers;

// The camera's restart from the window: the trigger, and for mode 1 the
// port closed once it is out and opened again (and read) 12 s later, while
// the status counts the seconds down, so that the wait never looks like a
// failure.
class CWindowRestart final {
public:
    static constexpr int kReopenMs = 12000;
    static constexpr int kTimerCountdown = 208; // each second of the wait

    struct Window {
        std::function<bool()> portOpen{};
        std::function<void()> openClosePort{}; // the port button's own action
        std::function<void(bool)> enablePortButton{};
        std::function<void(const QString&)> status{};
        std::function<void(const QString&)> log{}; // the upgrade page's log
    };

    CWindowRestart(CPageHost& host, CWindowTimers& timers, Window window);

    // Refused, with the box that says so, while the port is closed.
    void Restart(int mode);
    // The window's timers: the reopen (CPageHost::kTimerReopen) and the
    // countdown are handled here; false for any other.
    bool OnTimer(int id);

private:
    void ShowCountdown();

    CPageHost& m_host;
    CWindowTimers& m_timers;
    Window m_window;
    QElapsedTimer m_sinceClose;
};
