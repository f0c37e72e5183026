#pragma once

#include <QMetaObject>
#include <QObject>

#if defined(__SANITIZE_THREAD__)
#include <mutex>
#endif

// Queues fn to run on the thread of `context`.
template <typename Fn>
void PostCall(QObject* context, Fn fn)
{
#if defined(__SANITIZE_THREAD__)
    // Qt hands the function object over under a mutex inside its event queue,
    // which ThreadSanitizer cannot see in an uninstrumented Qt. Posting under
    // a mutex of our own, which the receiver takes before it touches anything
    // captured, shows it the same ordering.
    static std::mutex handOver;
    std::lock_guard lock(handOver);
    QMetaObject::invokeMethod(context, [fn = std::move(fn)]() mutable {
        { std::lock_guard received(handOver); }
        fn();
    }, Qt::QueuedConnection);
#else
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
#endif
}
