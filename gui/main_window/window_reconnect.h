#pragma once

#include "serial/line.h"

#include <functional>

class CCameraConnection;
class CPortChoice;
class CWindowTimers;

// A port that went away while open is looked for each second; once its
// device, or its device server, is back under the same name it is opened
// again, and the window reads the camera. A connect to a server runs on a
// thread of its own, so the window never waits for one that is still off.
class CWindowReconnect final {
public:
    static constexpr int kTimerReplug = 207;

    struct Window {
        std::function<LineOpening()> opening{};
        std::function<void()> reopened{}; // the port is open again
    };

    CWindowReconnect(CPortChoice& ports, CCameraConnection& connection, CWindowTimers& timers, Window window);

    // The open port went away: watched for from now.
    void Watch();
    // The replug timer is handled here; false for any other.
    bool OnTimer(int id);

private:
    void Check();

    CPortChoice& m_ports;
    CCameraConnection& m_connection;
    CWindowTimers& m_timers;
    Window m_window;
};
