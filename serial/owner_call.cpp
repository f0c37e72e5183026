#include "owner_call.h"

#include "post_call.h"

#include <QObject>
#include <QThread>
#include <condition_variable>

struct COwnerCallGate::Pending {
    enum class State { Queued, Running, Finished, Abandoned };

    std::mutex mutex;
    std::condition_variable cv;
    State state = State::Queued;
    bool bWake = true; // whileWaiting runs once before the first wait

    void Finish()
    {
        {
            std::lock_guard lock(mutex);
            if (state != State::Abandoned)
                state = State::Finished;
        }
        cv.notify_all();
    }
};

// Finishes the call when the queued function object goes away: after it ran,
// or when Qt discards it because its context object was destroyed.
struct COwnerCallGate::FinishOnDestruction {
    explicit FinishOnDestruction(std::shared_ptr<Pending> p) : pending(std::move(p)) {}
    FinishOnDestruction(const FinishOnDestruction&) = delete;
    FinishOnDestruction& operator=(const FinishOnDestruction&) = delete;
    ~FinishOnDestruction() { pending->Finish(); }

    std::shared_ptr<Pending> pending;
};

bool COwnerCallGate::Call(QObject* context, std::function<void()> fn, const std::function<void()>& whileWaiting)
{
    if (context->thread() == QThread::currentThread()) {
        fn();
        return true;
    }

    auto pending = std::make_shared<Pending>();
    {
        std::lock_guard lock(m_mutex);
        if (m_bAbandoned)
            return false;
        m_pPending = pending;
    }

    {
        auto finisher = std::make_shared<FinishOnDestruction>(pending);
        PostCall(context, [finisher, fn = std::move(fn)] {
            {
                std::lock_guard lock(finisher->pending->mutex);
                if (finisher->pending->state == Pending::State::Abandoned)
                    return;
                finisher->pending->state = Pending::State::Running;
            }
            fn();
        });
    }

    bool ran = false;
    {
        std::unique_lock lock(pending->mutex);
        const auto over = [&] {
            return pending->state == Pending::State::Finished || pending->state == Pending::State::Abandoned;
        };
        for (;;) {
            pending->cv.wait(lock, [&] { return over() || pending->bWake; });
            if (over())
                break;
            pending->bWake = false;
            lock.unlock();
            if (whileWaiting)
                whileWaiting();
            lock.lock();
        }
        ran = pending->state == Pending::State::Finished;
    }

    std::lock_guard lock(m_mutex);
    m_pPending.reset();
    return ran;
}

void COwnerCallGate::Abandon()
{
    std::lock_guard lock(m_mutex);
    m_bAbandoned = true;
    if (!m_pPending)
        return;
    {
        std::lock_guard pendingLock(m_pPending->mutex);
        m_pPending->state = Pending::State::Abandoned;
    }
    m_pPending->cv.notify_all();
}

void COwnerCallGate::Wake()
{
    std::lock_guard lock(m_mutex);
    if (!m_pPending)
        return;
    {
        std::lock_guard pendingLock(m_pPending->mutex);
        m_pPending->bWake = true;
    }
    m_pPending->cv.notify_all();
}

void COwnerCallGate::Reset()
{
    std::lock_guard lock(m_mutex);
    m_bAbandoned = false;
}
