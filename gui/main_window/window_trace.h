#pragma once

#include <QString>
#include <functional>
#include <memory>

class CLineTrace;

// The window's trace of the line: started to a file the technician chooses,
// stopped again, and dropped with a box when the file can no longer be
// written. The window says which line is traced and shows that a trace runs.
class CWindowTrace final {
public:
    struct Window {
        // The window's line from now on traced to this trace, or to none (null).
        std::function<void(const std::shared_ptr<CLineTrace>&)> attach;
        // Started or stopped: the window shows which.
        std::function<void()> changed;
    };

    explicit CWindowTrace(Window window);
    ~CWindowTrace();
    CWindowTrace(const CWindowTrace&) = delete;
    CWindowTrace& operator=(const CWindowTrace&) = delete;

    // Starts the trace to a chosen file, or stops the one that runs.
    void Toggle();
    // What was traced is written; a late failure of it says nothing.
    void Stop();

    // The trace that runs, null when none; it reads as a pointer to it, so
    // `trace ? trace->Path() : ...` says where it goes.
    const std::shared_ptr<CLineTrace>& Current() const { return m_trace; }

private:
    void OnFailed(const QString& path, const QString& why);

    Window m_window;
    std::shared_ptr<CLineTrace> m_trace;
    // Renewed by each start, dropped at its stop: a failure told late, of a
    // trace stopped or of a window gone, does nothing.
    std::shared_ptr<char> m_token;
};
