#pragma once

#include "session/camera_scan.h"
#include "core/config/com_ports.h"
#include "serial/line.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CCameraSession;
class CLineTrace;

// A port to search, as its name resolves.
using PortToScan = NamedPort;

// What the search of one port came to.
struct PortScanResult {
    PortToScan port;
    std::optional<PortOpenError> openError; // it could not be opened
    QString strLost;                        // it went away during the search (the OS's words, perhaps empty)
    bool bLost = false;
    std::optional<ScanFinding> finding;     // the camera that answered
    QString strRefused; // a device server set another rate than asked (its words): those rates were not tried
};

// Searches several ports at once, each on its own session opened for the
// search (the rates in turn, as CCameraScan tries them), on the thread
// that made it; a device server's port is connected on a thread of its
// own first. Each port is closed again as its search ends.
class CPortsScan final {
public:
    struct Events {
        std::function<void(const PortScanResult&)> portDone{}; // as each port's search ends
        std::function<void()> progress{};                       // a try began somewhere
        std::function<void()> finished{};                       // every port is done
    };

    CPortsScan();
    ~CPortsScan();
    CPortsScan(const CPortsScan&) = delete;
    CPortsScan& operator=(const CPortsScan&) = delete;

    // Every port's bytes go to the trace, when one is given.
    void SetTrace(std::shared_ptr<CLineTrace> trace) { m_trace = std::move(trace); }
    // `currentBaud` is tried first on every port. A device named twice (a
    // COMn and its device, a link and its target) is searched once, under
    // its first name: a second opening of it would find it busy.
    void Start(const std::vector<PortToScan>& ports, int currentBaud, Events events);
    // Ends every search at once; nothing more goes out, no event follows.
    void Stop();
    bool Running() const { return m_nPending > 0; }
    // Tries begun so far, and all there are to make.
    int TriesBegun() const;
    int TriesInAll() const;
    const std::vector<PortScanResult>& Results() const { return m_results; }

private:
    struct Port;
    // Opens a port's line for the search; false (and the port done) when it cannot be.
    bool Open(std::size_t index, const LineOpening& opening);
    void Search(std::size_t index, int currentBaud);
    void OnPortDone(std::size_t index);

    Events m_events;
    std::vector<std::unique_ptr<Port>> m_ports;
    std::vector<PortScanResult> m_results; // in the order the searches ended
    int m_nPending = 0;
    std::shared_ptr<CLineTrace> m_trace;
};
