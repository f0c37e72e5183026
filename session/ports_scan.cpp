#include "session/ports_scan.h"

#include "session/camera_session.h"
#include "core/protocol/line_rates.h"
#include "core/config/com_ports.h"
#include "core/config/network_address.h"
#include "serial/device_opener.h"

#include <set>

struct CPortsScan::Port {
    PortScanResult result;
    std::unique_ptr<CCameraSession> session;
    CCameraSession::Listening listening; // of its loss
    std::unique_ptr<CCameraScan> scan;
    std::unique_ptr<CDeviceOpener> opener; // a device server's port, connected on a thread of its own
    bool bDone = false;
};

CPortsScan::CPortsScan() = default;

CPortsScan::~CPortsScan()
{
    Stop();
}

void CPortsScan::Start(const std::vector<PortToScan>& ports, int currentBaud, Events events)
{
    Stop();
    m_ports.clear();
    m_results.clear();
    m_events = std::move(events);
    std::set<QString> devices;
    for (const PortToScan& target : ports) {
        if (!devices.insert(SamePortKey(target.strDevice)).second)
            continue;
        auto port = std::make_unique<Port>();
        port->result.port = target;
        m_ports.push_back(std::move(port));
    }
    m_nPending = static_cast<int>(m_ports.size());
    if (m_ports.empty() && m_events.finished) {
        std::exchange(m_events, Events{}).finished(); // nothing to search: over at once
        return;
    }
    // Opened first, searched after: a port that cannot be opened ends at once.
    for (std::size_t index = 0; index < m_ports.size(); ++index) {
        Port& port = *m_ports[index];
        port.session = std::make_unique<CCameraSession>();
        port.listening = port.session->Listen(CCameraSession::Rank::FrontEnd, {.lost = [this, index] {
            Port& lost = *m_ports[index];
            if (lost.bDone)
                return;
            lost.bDone = true;
            lost.result.bLost = true;
            lost.scan->Stop();
            OnPortDone(index);
        }});
        port.session->SetErrorReporter([this, index](const CommErrorReport& report) {
            PortScanResult& result = m_ports[index]->result;
            if (report.bDeviceLost)
                result.strLost = report.strSystemText;
            if (report.bSettingRefused && report.bBehindServer && result.strRefused.isEmpty())
                result.strRefused = report.strSystemText;
        });
        port.session->SetTrace(m_trace);
        port.scan = std::make_unique<CCameraScan>(*port.session);
        const PortToScan& target = port.result.port;
        const LineOpening opening{.nNumber = target.nComNumber, .strDevice = target.strDevice, .nBaud = currentBaud};
        if (IsNetworkName(opening.strDevice)) {
            // Searched once the server has answered: no port waits for another's server.
            port.opener = std::make_unique<CDeviceOpener>(opening, [this, index, opening, currentBaud](auto opened) {
                LineOpening prepared = opening;
                prepared.opened = std::move(opened);
                if (Open(index, prepared))
                    Search(index, currentBaud);
                else
                    OnPortDone(index);
            });
        } else {
            Open(index, opening);
        }
    }
    for (std::size_t index = 0; index < m_ports.size() && Running(); ++index) {
        if (m_ports[index]->bDone)
            OnPortDone(index);
        else if (!m_ports[index]->opener)
            Search(index, currentBaud);
    }
}

bool CPortsScan::Open(std::size_t index, const LineOpening& opening)
{
    Port& port = *m_ports[index];
    if (!port.session->Open(opening)) {
        port.result.openError = port.session->Line().OpenError();
        port.bDone = true;
        return false;
    }
    port.session->Line().StartMonitor();
    return true;
}

void CPortsScan::Search(std::size_t index, int currentBaud)
{
    m_ports[index]->scan->Start(currentBaud, {[this](int) {
                                                  if (m_events.progress)
                                                      m_events.progress();
                                              },
                                              [this, index](const std::optional<ScanFinding>& finding) {
                                                  Port& done = *m_ports[index];
                                                  done.bDone = true;
                                                  done.result.finding = finding;
                                                  OnPortDone(index);
                                              }});
}

void CPortsScan::OnPortDone(std::size_t index)
{
    Port& port = *m_ports[index];
    port.session->Line().Close();
    m_results.push_back(port.result);
    --m_nPending;
    if (m_events.portDone)
        m_events.portDone(port.result);
    if (m_nPending == 0 && m_events.finished)
        std::exchange(m_events, Events{}).finished();
}

void CPortsScan::Stop()
{
    m_nPending = 0;
    m_events = Events{};
    for (const auto& port : m_ports) {
        port->opener.reset();
        if (port->scan)
            port->scan->Stop();
        if (port->session)
            port->session->Line().Close();
    }
}

int CPortsScan::TriesBegun() const
{
    int begun = 0;
    for (const auto& port : m_ports)
        begun += port->bDone ? static_cast<int>(kLineRates.size()) : port->scan ? port->scan->RatesBegun() : 0;
    return begun;
}

int CPortsScan::TriesInAll() const
{
    return static_cast<int>(m_ports.size() * kLineRates.size());
}
