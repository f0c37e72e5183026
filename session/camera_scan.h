#pragma once

#include "core/firmware/version_check.h"
#include "session/camera_session.h"

#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>


// A camera that answered a search.
struct ScanFinding {
    int nBaud = 0;
    FirmwareVersions versions; // as registers 0x00 and 0x01 answered
    bool bEcho = false;        // the line returns the host's own bytes
    QStringList unusual;       // what in the answers is unusual for a camera; it may be another device
};

// The search for a camera at one open port: the rates of ScanOrder() in
// turn, each set on the open port with no reopen. A try reads register 0x1F
// and waits as long as a read at that rate waits; a well-formed answer
// counts only once reads of 0x00 and 0x01 have been answered as well and
// no answer more follows within a wait (answers one behind their requests,
// late from an earlier one, would give wrong versions). A try that heard
// something but was not confirmed is made again once the line is quiet,
// three times at most, as a read is; a silent try, and a line that speaks
// on its own, move on at once. Only read commands go out. While it runs it
// hears all the session hears.
class CCameraScan final {
public:
    struct Events {
        std::function<void(int baud)> trying;                          // a try at this rate begins
        std::function<void(const std::optional<ScanFinding>&)> finished; // last; nullopt: no rate answered
    };

    explicit CCameraScan(CCameraSession& session);
    ~CCameraScan();
    CCameraScan(const CCameraScan&) = delete;
    CCameraScan& operator=(const CCameraScan&) = delete;

    // Starts with `currentBaud` (the rate chosen now), on the session's open
    // and monitored port; a read cycle under way is ended. The port keeps
    // the rate that answered; when none did, it is set back to `currentBaud`.
    void Start(int currentBaud, Events events);
    // Ends the search at once: nothing more goes out, finished() does not
    // run, and the port is set back to the rate it was started with.
    void Stop();
    bool Running() const { return m_phase != Phase::Idle; }
    // Rates begun so far of ScanOrder()'s 12.
    int RatesBegun() const { return m_nTry + 1; }

private:
    enum class Phase {
        Idle,
        Asking,     // a request's answer is awaited
        Confirming, // every answer is in: nothing more may come
        Draining,   // a try failed after the line spoke: until it is quiet
    };

    int Rate() const;   // of the try under way
    int WaitMs() const; // a read's answer wait at that rate
    void TryRate();
    void Ask(int index);
    void OnChar(char ch);
    void OnAnswer();
    void OnWaitOver();
    void TryFailed();
    void NextRate();
    void Finish(std::optional<ScanFinding> finding);
    void RestoreRate(); // the rate the search was started with
    void End(); // hands the line back to the session

    CCameraSession& m_session;
    CCameraSession::Listening m_listening; // while it runs: it hears all the camera says
    Events m_events;
    std::vector<int> m_rates;
    int m_nCurrentBaud = 0;
    Phase m_phase = Phase::Idle;
    int m_nTry = -1;       // index into m_rates; -1 while idle
    int m_nTryAtRate = 0;  // tries made at that rate before this one
    int m_nAsked = 0;      // of the try's three registers, the one awaited
    int m_answers[3] = {};
    bool m_bHeard = false; // the line spoke since the try began
    QByteArray m_heard;    // since the request went out
    QTimer m_wait;         // the answer's wait, the confirming wait, or the quiet time
    QElapsedTimer m_drainClock;
    int m_nDrainChars = 0; // heard while draining
};
