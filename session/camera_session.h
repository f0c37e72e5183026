#pragma once

#include "session/paced_sender.h"
#include "core/protocol/read_cycle.h"
#include "core/protocol/register_map.h"
#include "session/read_failure.h"
#include "serial/serial_port.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

// One link to a camera, the same for the window and the command line: the
// port and what it hears, every write paced on timers, the read cycle and
// the register image it fills. Front ends hear what happened through Events;
// the session shows nothing itself. On the thread that made it.
class CCameraSession final : public QObject {
public:
    struct Events {
        std::function<void(unsigned ch)> received; // every character from the camera, in order, before it is handled
        std::function<void()> configurationRead;   // a whole cycle is in: its 23 bytes are the image now
        // Every try of a cycle failed; the image stays as the last good cycle left it.
        std::function<void(const ReadFailure&)> readFailed;
        std::function<void()> deviceLost; // after the port's one report
    };

    explicit CCameraSession(Events events);
    ~CCameraSession() override;
    Q_DISABLE_COPY_MOVE(CCameraSession)

    // Opens `device` (what COM<number> stands for) with the session as the
    // port's owner. False when nothing could be opened: Port().OpenError()
    // says why.
    bool Open(unsigned number, const QString& device, int baud, char parity, int dataBits, int stopBits,
              quint32 eventMask);
    // Opens the port again as the last Open() did.
    bool Reopen();
    // Another rate on the open port, with no reopen: for what is sent from
    // now on, and for Reopen(). The answer wait follows the rate.
    void SetRate(int baud);
    int Rate() const { return m_lastOpen.nBaud; }
    // The port itself: monitoring, stopping, closing, its errors.
    CSerialPort& Port() { return m_port; }
    const CSerialPort& Port() const { return m_port; }

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
    // port is stopped, lost or reopened first.
    void WhenSent(std::function<void()> step);
    // Bytes or steps still wait to go out.
    bool WritesPending() const { return m_sender.HasQueued(); }
    // Bytes still wait to be handed to the port: a save's or a format
    // change's writes, paced for the line as it is now.
    bool BytesQueued() const { return m_sender.HasQueuedBytes(); }

    // An upgrade run (upgrade_run.h) hears first, for as long as it lives:
    // what the camera says (a character it takes goes no further), the end
    // of a read cycle and the port's loss.
    struct UpgradeTap {
        std::function<bool(char ch)> takeReply;
        std::function<void()> configurationRead;
        std::function<void(const ReadFailure&)> readFailed;
        std::function<void()> deviceLost;
    };
    void SetUpgradeTap(UpgradeTap tap) { m_tap = std::move(tap); }
    // While set, a search for the camera's rate (camera_scan.h) hears all
    // the camera says, and the read cycle and an upgrade run hear nothing.
    void SetScanListener(std::function<void(char ch)> listener) { m_scanListener = std::move(listener); }
    bool Searching() const { return static_cast<bool>(m_scanListener); }

protected:
    bool event(QEvent* event) override;

private:
    void QueueCycleStart();
    void SendRequest(const QByteArray& request);
    void OnAnswerMissing();
    void FailCycle(int index, const QByteArray& answer);
    void Drain(); // the next try starts once the line has been quiet
    void OnDrained();
    // One character of an answer: the next request follows 10 ms later;
    // the last answer completes the cycle.
    void FeedCycle(char ch);

    Events m_events;
    CReadCycle m_cycle;
    RegisterImage m_registers{};
    int m_nAnswerWaitMs = 0;
    quint64 m_nCycleRun = 0; // EndCycle() turns it: steps queued for an ended cycle do nothing
    int m_nTry = 0;          // tries of the cycle under way so far
    bool m_bRetryDue = false; // a failed try waits to start again
    quint64 m_nRequest = 0;   // turned by every request and every end of one: a stale "on the line" does nothing
    QTimer m_answerTimer;     // the outstanding request's answer
    QElapsedTimer m_answerClock; // since the request left the line, or since the wait began again
    bool m_bDraining = false;    // after a failed try: what arrives is dropped until the line is quiet
    QTimer m_drainTimer;         // the line's quiet time, from when all that was sent has left it
    QElapsedTimer m_drainClock;  // since the try failed
    struct OpenRequest {
        unsigned nNumber = 0;
        QString strDevice;
        int nBaud = 0;
        char cParity = 'N';
        int nDataBits = 8;
        int nStopBits = 1;
        quint32 nEventMask = 0;
    } m_lastOpen;
    UpgradeTap m_tap;
    std::function<void(char ch)> m_scanListener;
    CSerialPort m_port;
    CPacedSender m_sender;
};
