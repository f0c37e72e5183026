#include "session/paced_sender.h"

#include <algorithm>

CPacedSender::CPacedSender(SendFn send) : m_send(std::move(send))
{
    // A precise timer never fires early: each pause lasts at least its length.
    m_pause.setSingleShot(true);
    m_pause.setTimerType(Qt::PreciseTimer);
    connect(&m_pause, &QTimer::timeout, this, &CPacedSender::RunDue);
}

void CPacedSender::Send(const QByteArray& bytes, int pauseAfterMs, std::function<void()> onLine)
{
    Add({bytes, pauseAfterMs, {}, std::move(onLine)});
}

void CPacedSender::Pause(int ms)
{
    Add({QByteArray(), ms, {}, {}});
}

void CPacedSender::Then(std::function<void()> step)
{
    Add({QByteArray(), 0, std::move(step), {}});
}

void CPacedSender::Cancel()
{
    m_steps.clear();
    m_pause.stop();
    m_nInsertAt = -1;
}

bool CPacedSender::IsIdle() const
{
    return m_steps.empty() && !m_pause.isActive();
}

bool CPacedSender::HasQueuedBytes() const
{
    return std::any_of(m_steps.begin(), m_steps.end(), [](const Step& step) { return !step.bytes.isEmpty(); });
}

void CPacedSender::Add(Step step)
{
    if (m_nInsertAt >= 0)
        m_steps.insert(m_steps.begin() + m_nInsertAt++, std::move(step));
    else
        m_steps.push_back(std::move(step));
    RunDue();
}

void CPacedSender::RunDue()
{
    if (m_bRunning || m_pause.isActive())
        return;
    m_bRunning = true;
    while (!m_steps.empty() && !m_pause.isActive()) {
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        if (step.then) {
            m_nInsertAt = 0;
            step.then();
            m_nInsertAt = -1;
            continue;
        }
        if (!step.bytes.isEmpty())
            m_send(step.bytes, std::move(step.onLine));
        if (step.nPauseAfterMs > 0)
            m_pause.start(step.nPauseAfterMs);
    }
    m_bRunning = false;
}
