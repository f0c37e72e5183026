#pragma once

#include "session/paced_sender.h"
#include "core/protocol/read_cycle.h"
#include "core/protocol/register_map.h"
#include "session/read_failure.h"
#include "serial/line.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

// One link to a camera, the same for the window and the command line: the
// line and what it hears, every write paced on timers, the read cycle and
// the register image it fills. Whoever needs to hear the camera registers a
// listener; the session shows nothing itself. On the thread that made it.
class CCameraSession final : public QObject {
public:
    // Who hears the camera, in this order. A character goes to each
    // listener's take() until one takes it, the read cycle's last; the end
    // of a cycle and the line's loss go to every listener.
    enum class Rank {
        Search,   // a search for the camera's rate takes every character
        Upgrade,  // an upgrade run takes what the camera says in upgrade mode
        FrontEnd, // the window or the command line
    };
    struct Listener {
        std::function<void(char ch)> heard{};   // every character, before any listener takes it
        std::function<bool(char ch)> take{};    // true: the character goes no further
        std::function<void()> configurationRead{}; // a whole cycle is in: its 23 bytes are the image now
        // Every try of a cycle failed; the image stays as the last good cycle left it.
        std::function<void(const ReadFailure&)> readFailed{};
        std::function<void()> lost{}; // after the line's one report
    };
    // A listener's registration: it hears until this is destroyed or reset.
    class Listening final {
    public:
        Listening() = default;
        Listening(Listening&& other) noexcept { *this = std::move(other); }
        Listening& operator=(Listening&& other) noexcept;
        ~Listening() { Reset(); }
        void Reset();
        explicit operator bool() const { return m_pSession != nullptr; }

    private:
        friend class CCameraSession;
        Listening(CCameraSession* session, quint64 id) : m_pSession(session), m_nId(id) {}
        CCameraSession* m_pSession = nullptr;
        quint64 m_nId = 0;
    };

    CCameraSession();
    ~CCameraSession() override;
    Q_DISABLE_COPY_MOVE(CCameraSession)

    // Registers a listener; later ones of a rank hear after earlier ones.
    [[nodiscard]] Listening Listen(Rank rank, Listener listener);
    // A search for the camera's rate hears the camera now.
    bool Searching() const;

    // Opens the line the opening names with the session as its owner. False
    // when nothing could be opened: Line().OpenError() says why.
    bool Open(const LineOpening& opening);
    // Opens the line again as the last Open() did.
    bool Reopen();
    // Counts the line's openings that succeeded, by Open() and Reopen(): what
    // was heard of the line before (its loss) is of an earlier one once this
    // moved on.
    quint64 Openings() const { return m_nOpenings; }
    // Another rate on the open line, with no reopen: for what is sent from
    // now on, and for Reopen(). The answer wait follows the rate.
    void SetRate(int baud);
    int Rate() const { return m_lastOpen.nBaud; }
    const LineOpening& LastOpening() const { return m_lastOpen; }
    // The line is a device server's socket:// port, whose rate the server sets.
    bool RateFixed() const;
    // How long an answer may take at a rate: the line's time, and a device
    // server's round trip on top.
    int AnswerWaitAt(int baud) const;
    int AnswerWait() const { return m_nAnswerWaitMs + m_line->RoundTripMs(); }
    // The line itself: monitoring, stopping, closing, its errors. Who hears
    // its errors and its trace stay with the session when a name needs
    // another kind of line.
    CLine& Line() { return *m_line; }
    const CLine& Line() const { return *m_line; }
    void SetErrorReporter(CommErrorReporter reporter);
    void SetTrace(std::shared_ptr<CLineTrace> trace);

    // What the line heard, in order: each character goes to the listeners.
    // (The line calls it; tests hand it what a camera could have said.)
    void OnReceived(const QByteArray& chunk);

    // Starts a read cycle once what is queued has gone out. An answer that
    // does not come whole within AnswerWaitMs of its request leaving the
    // line, or is not two hex digits and CR LF, fails the cycle; it is tried
    // again from its start, kReadTries times in all, once the line has been
    // quiet for that wait: what is left of a failed try never counts as an
    // answer of the next. A cycle under way gives way to the new one the
    // same way.
    void ReadCycle();
    // Forgets the cycle under way: what arrives later belongs to no register.
    void EndCycle();
    // A cycle is under way or about to be tried again.
    bool Reading() const { return m_cycle.ReadIndex() >= 0 || m_bRetryDue; }
    const CReadCycle& Cycle() const { return m_cycle; }
    const RegisterImage& Registers() const { return m_registers; }

    // A register write, followed by its 20 ms.
    void WriteRegister(int value, int reg);
    // Everything else the camera is sent, paced and in order; Cancel() there
    // drops what waits.
    CPacedSender& Sender() { return m_sender; }
    // Runs step once all that is queued now has left the line; not when the
    // line is stopped, lost or reopened first.
    void WhenSent(std::function<void()> step);
    // Bytes or steps still wait to go out.
    bool WritesPending() const { return m_sender.HasQueued(); }
    // Bytes still wait to be handed to the port: a save's or a format
    // change's writes, paced for the line as it is now.
    bool BytesQueued() const { return m_sender.HasQueuedBytes(); }

private:
    struct Registered {
        Rank rank;
        quint64 nId;
        Listener listener;
        bool bActive = true; // cleared when it stops listening
    };
    void Forget(quint64 id);
    void OnLost();
    // Tells every active listener, in order.
    template <typename Fn>
    void TellAll(Fn tell);
    void QueueCycleStart();
    void SendRequest(const QByteArray& request);
    void OnAnswerMissing();
    void FailCycle(int index, const QByteArray& answer);
    void Drain(); // the next try starts once the line has been quiet
    void OnDrained();
    // One character of an answer: the next request follows 10 ms later;
    // the last answer completes the cycle.
    void FeedCycle(char ch);
    void Dispatch(char ch);

    std::vector<std::shared_ptr<Registered>> m_listeners; // by rank, then in the order they came
    quint64 m_nListenerId = 0;
    CReadCycle m_cycle;
    RegisterImage m_registers{};
    int m_nAnswerWaitMs = 0;
    quint64 m_nOpenings = 0;
    quint64 m_nCycleRun = 0; // EndCycle() turns it: steps queued for an ended cycle do nothing
    int m_nTry = 0;          // tries of the cycle under way so far
    bool m_bRetryDue = false; // a failed try waits to start again
    quint64 m_nRequest = 0;   // turned by every request and every end of one: a stale "on the line" does nothing
    QTimer m_answerTimer;     // the outstanding request's answer
    QElapsedTimer m_answerClock; // since the request left the line, or since the wait began again
    bool m_bDraining = false;    // after a failed try: what arrives is dropped until the line is quiet
    QTimer m_drainTimer;         // the line's quiet time, from when all that was sent has left it
    QElapsedTimer m_drainClock;  // since the try failed
    LineOpening m_lastOpen;
    CommErrorReporter m_errorReporter;
    std::shared_ptr<CLineTrace> m_trace;
    std::unique_ptr<CLine> m_line;
    CPacedSender m_sender;
};
