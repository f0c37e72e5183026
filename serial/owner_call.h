#pragma once

#include <functional>
#include <memory>
#include <mutex>

class QObject;

// Runs a function on the thread of a context object and waits until it has
// run: a synchronous message, as the owner of the port expects, but one whose
// wait can be abandoned. Stopping the port abandons it, so the GUI thread can
// stop or reopen the port while a byte is being delivered without deadlock.
class COwnerCallGate final {
public:
    // True when fn ran (or its context was destroyed first); false when the
    // call was abandoned, in which case fn runs not at all or is already
    // running and finishes on its own. While it waits, the calling thread
    // runs whileWaiting once at the start and again after each Wake().
    bool Call(QObject* context, std::function<void()> fn, const std::function<void()>& whileWaiting = {});

    // Has the waiting call, if any, run its whileWaiting.
    void Wake();

    // Releases the waiting call and makes later calls return false at once.
    void Abandon();

    // Calls wait again (a new monitor thread starts).
    void Reset();

private:
    struct Pending;
    struct FinishOnDestruction;

    std::mutex m_mutex;
    bool m_bAbandoned = false;
    std::shared_ptr<Pending> m_pPending;
};
