#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>

// Hands bytes to the port with the pauses the camera needs between them,
// kept by a timer instead of a sleeping thread, so the window answers while
// a save or a format change is paced out. Steps run in the order given:
//   Send(bytes, pauseAfterMs, onLine)  the bytes go out, the next step waits
//                              pauseAfterMs; onLine, when given, runs once
//                              they have left the line
//   Pause(ms)                  the next step waits ms
//   Then(step)                 runs step; what step sends or queues comes
//                              before the steps that were queued after it
// A step with nothing ahead of it runs at once. On the thread it lives on.
class CPacedSender final : public QObject {
public:
    using SendFn = std::function<void(const QByteArray& bytes, std::function<void()> onLine)>;
    explicit CPacedSender(SendFn send);
    Q_DISABLE_COPY_MOVE(CPacedSender)

    void Send(const QByteArray& bytes, int pauseAfterMs = 0, std::function<void()> onLine = {});
    void Pause(int ms);
    void Then(std::function<void()> step);
    // Drops every step not yet taken: nothing queued is sent afterwards.
    void Cancel();
    // Nothing queued and no pause running.
    bool IsIdle() const;
    // Steps still wait their turn (a pause after the last bytes does not count).
    bool HasQueued() const { return !m_steps.empty(); }
    // Of those, some send bytes (Then steps and pauses do not count).
    bool HasQueuedBytes() const;

private:
    struct Step {
        QByteArray bytes;
        int nPauseAfterMs = 0;
        std::function<void()> then;
        std::function<void()> onLine;
    };
    void Add(Step step);
    void RunDue();

    SendFn m_send;
    std::deque<Step> m_steps;
    QTimer m_pause;
    bool m_bRunning = false; // inside RunDue: steps added now wait their turn
    int m_nInsertAt = -1;    // inside a Then step: where its own steps go
};
