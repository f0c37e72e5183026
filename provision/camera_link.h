#pragma once

#include "core/protocol/next_steps.h"
#include "core/settings/image_settings.h"
#include "session/camera_connection.h"

#include <QDeadlineTimer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class CLineTrace;

// The command line's connection to one camera: the camera session the
// window uses too (its read cycle and its upgrade run), waited on in this
// thread's event loop.
class CCameraLink final {
public:
    // Every link made from now on traces its line there (null: none). Set
    // before the first link is made: provision makes them on threads of their own.
    static void TraceEveryLink(std::shared_ptr<CLineTrace> trace) { s_trace = std::move(trace); }
    static const std::shared_ptr<CLineTrace>& EveryLinkTrace() { return s_trace; }

    // The port's errors are told, one line each in the command line's
    // words, to `tell` on the link's thread.
    explicit CCameraLink(std::function<void(const QString&)> tell);
    ~CCameraLink();
    // From now on the port's errors are told there instead.
    void TellTo(std::function<void(const QString&)> tell) { m_tell = std::move(tell); }

    // Opens P: a device path, or COMn as config.ini maps it. False with
    // *error naming the port and the OS's reason (OpenFailureText()).
    bool Open(const QString& port, int baud, QString* error);
    QString OpenFailureText() const;
    // COM1 .. COM16 are looked up in config.ini.
    static constexpr unsigned kMappedComPorts = 16;
    // Lets what was handed over go out (a few seconds at most), then closes.
    void Close();
    // Lets what was handed over go out (a few seconds at most); the port stays open.
    void Drain();
    CLine& Line() { return m_connection.Line(); }
    CCameraSession& Session() { return m_session; }
    CUpgradeRun& Upgrade() { return m_connection.Upgrade(); }
    CCameraConnection& Connection() { return m_connection; }
    const QString& PortName() const { return m_strPort; }
    // What to do when the line went away or was not there: the adapter, or the device server.
    NextStep LostLineStep() const;

    // One read cycle, after what was handed over before it, tried as the
    // session tries it; the registers land in Registers(). False with *error
    // naming the register whose answer went missing or came malformed.
    bool ReadConfiguration(QString* error);
    // One read of register `reg` alone: whether a camera answered it within
    // one answer wait (a probe: the answer's value is not kept).
    bool Answers(int reg);
    QString ReadFailureText(const ReadFailure& failure) const;
    // What the technician can do after the last Open() or
    // ReadConfiguration() that failed: free a port another program holds,
    // plug in an adapter that is missing or went away, look for a camera
    // that did not answer. Nothing when the failure says it already (a
    // port this user may not use) or the user interrupted.
    std::optional<NextStep> FailureStep() const { return m_failureStep; }
    const RegisterImage& Registers() const { return m_session.Registers(); }

    // Paced as the window paces them: a register write and its 20 ms, other
    // bytes with the pause after them, a pause.
    void Write(const RegisterWrite& write);
    void Send(const QByteArray& bytes, int pauseAfterMs = 0);
    void Pause(int ms);
    // Runs the event loop until what was handed over has left the line.
    // False when the user interrupted or the line went away first: what had
    // not left yet is dropped.
    bool WaitUntilSent();

    // Runs the event loop until done() holds, the time is up (false) or the
    // user interrupts (false). A negative timeout waits without end.
    static bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
    // The line as opened last went away (and was not opened again since, as
    // an upgrade's restart does).
    bool DeviceLost() const { return m_lostOpening == m_session.Openings(); }
    // How often the line went away since the link was made.
    int Losses() const { return m_nLosses; }
    // "PORT went away", with the OS's words when it gave any.
    QString LossText() const;

    // Runs the event loop until done() holds or the user interrupts a
    // second time (false): the wait after a first Ctrl-C that lets the
    // camera be left answering.
    static bool WaitUntilInterruptedAgain(const std::function<bool()>& done);

    // Set and counted by Ctrl-C (OnInterrupt, from the signal handler);
    // every wait ends at the first.
    static std::atomic<bool> s_bInterrupted;
    static std::atomic<int> s_nInterrupts;
    // nowMs: a steady clock's. One stop is often sent twice at once, to the
    // program and to its process group (timeout(1) does so): a second within
    // kRepeatMs is the same one.
    static constexpr qint64 kRepeatMs = 500;
    static void OnInterrupt(qint64 nowMs)
    {
        if (s_nInterrupts > 0 && nowMs - s_nLastInterruptMs < kRepeatMs)
            return;
        s_nLastInterruptMs = nowMs;
        s_bInterrupted = true;
        ++s_nInterrupts;
    }

private:
    // Ends early (false) once Ctrl-C was pressed `interruptsToStop` times; 0: never.
    static bool RunEventsUntil(const std::function<bool()>& done, QDeadlineTimer deadline, int interruptsToStop);

    static std::atomic<qint64> s_nLastInterruptMs;
    static std::shared_ptr<CLineTrace> s_trace;

    std::function<void(const QString&)> m_tell;
    CCameraConnection m_connection;
    CCameraSession& m_session = m_connection.Session();
    QString m_strPort;
    std::optional<quint64> m_lostOpening; // the session's opening whose line went away last
    int m_nLosses = 0;
    int m_nBaud = 0;
    bool m_bCycleDone = false;
    std::optional<ReadFailure> m_failure; // of the last cycle
    std::optional<NextStep> m_failureStep;
};
