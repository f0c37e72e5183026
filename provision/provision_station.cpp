#include "provision/provision_station.h"

#include "core/config/com_ports.h"
#include "provision/camera_link.h"
#include "provision/provision_report.h"
#include "provision/provision_watch.h"
#include "serial/post_call.h"
#include "serial/system_ports.h"

#include <QThread>
#include <chrono>

using namespace Qt::StringLiterals;

namespace {

// False when the system would not run the thread (too many threads or
// processes for this user, too little memory): QThread says so in a warning,
// and leaves the thread neither running nor finished.
bool StartThread(QThread& thread)
{
    thread.start();
    return thread.isRunning() || thread.isFinished();
}

// A camera that was never opened, for want of a thread to run it.
CameraRecord ThreadlessCamera(const QString& port)
{
    CameraRecord record;
    record.strPort = port;
    record.started = QDateTime::currentDateTimeUtc();
    record.strFailure = u"the system would not start a thread for this camera (too many threads or processes for "
                        "this user, or too little memory); nothing was sent to it"_s;
    return record;
}

} // namespace

CProvisionStation::CProvisionStation(QStringList ports, ProvisionPlan plan, bool watch, StationEvents events)
    : m_ports(std::move(ports)), m_plan(std::move(plan)), m_bWatch(watch), m_events(std::move(events))
{
    const QList<SystemPort> machinePorts = SystemPorts();
    for (const QString& port : m_ports)
        m_serialNumbers.append(SerialNumberOf(machinePorts, ResolvePort(port).strDevice));
}

CProvisionStation::~CProvisionStation()
{
    if (!m_threads.empty() && !Finished())
        Stop();
    for (const auto& thread : m_threads)
        thread->wait();
}

bool CProvisionStation::OpenReport(const QString& path, QString* error)
{
    if (path.isEmpty())
        return true;
    m_report = std::make_unique<CAppendFile>(path);
    return m_report->Open(LinkAtPath::Follow, error);
}

void CProvisionStation::Start(const std::function<void(int port, QThread& thread)>& prepare)
{
    for (int i = 0; i < m_ports.size(); ++i)
        m_threads.emplace_back(QThread::create([this, i] { RunPort(i); }));
    for (int i = 0; i < m_ports.size(); ++i) {
        if (prepare)
            prepare(i, *m_threads[std::size_t(i)]);
        if (!StartThread(*m_threads[std::size_t(i)])) {
            Provisioned(i, ThreadlessCamera(m_ports[i]));
            PortDone();
        }
    }
}

void CProvisionStation::Stop()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    CCameraLink::OnInterrupt(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void CProvisionStation::ClearStop()
{
    CCameraLink::s_bInterrupted = false;
    CCameraLink::s_nInterrupts = 0;
}

bool CProvisionStation::Close(QString* why)
{
    for (const auto& thread : m_threads)
        thread->wait();
    return !m_report || m_report->Close(why);
}

void CProvisionStation::RunPort(int port)
{
    const auto post = [this](std::function<void()> call) { PostCall(&m_home, std::move(call)); };
    const ProvisionSink sink{
        [this, port, post](const QString& stage) { post([this, port, stage] { m_events.stage(port, stage); }); },
        // Told for every 100-byte piece; whole percents are enough to show.
        [this, port, post, shown = -1](int percent, qint64 rate) mutable {
            if (std::exchange(shown, percent) != percent)
                post([this, port, percent, rate] { m_events.progress(port, percent, rate); });
        },
    };
    const auto ended = [this, port, post](const CameraRecord& record) {
        post([this, port, record] { Provisioned(port, record); });
    };
    if (m_bWatch)
        WatchPort(m_ports[port], m_plan, {sink, sink.stage, ended});
    else
        ended(ProvisionCamera(m_ports[port], m_plan, sink));
    post([this] { PortDone(); });
}

void CProvisionStation::Provisioned(int port, CameraRecord record)
{
    record.strSerialNumber = m_serialNumbers[port];
    ++(record.bOk ? m_nPassed : m_nFailed);
    if (QString why; m_report && m_report->IsOpen() && !m_report->Write(ReportLine(record, m_plan) + '\n', &why)) {
        if (!std::exchange(m_bReportFailed, true))
            m_events.reportLost(why);
    }
    m_events.provisioned(port, record, m_nPassed, m_nFailed);
}

void CProvisionStation::PortDone()
{
    if (++m_nPortsDone == m_ports.size())
        m_events.finished();
}
