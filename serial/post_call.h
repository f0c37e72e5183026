#pragma once

#include <QMetaObject>
#include <QObject>

#if defined(__SANITIZE_THREAD__)
#include <mutex>

// One for every caller: a static inside the template below would be one per
// kind of function posted, and two threads posting different kinds to the
// same thread would go unordered as ThreadSanitizer sees it.
inline std::mutex& PostHandOver()
{
    static std::mutex handOver;
    return handOver;
}
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
    std::lock_guard lock(PostHandOver());
    QMetaObject::invokeMethod(context, [fn = std::move(fn)]() mutable {
        { std::lock_guard received(PostHandOver()); }
        fn();
    }, Qt::QueuedConnection);
#else
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
#endif
}
