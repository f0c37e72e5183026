#include "provision/provision_watch.h"

#include "provision/camera_link.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr int kProbedRegister = 0x1F; // the first of every read: every camera answers it

} // namespace

bool CSlotWatch::Probed(bool answered)
{
    if (m_bDone) {
        m_nMisses = answered ? 0 : m_nMisses + 1;
        m_bMayBeStarting = m_bMayBeStarting && !answered;
        if (m_nMisses >= (m_bMayBeStarting ? kMissesWhileItStarts : kMissesToGone))
            PortGone();
        return false;
    }
    m_nAnswers = answered ? m_nAnswers + 1 : 0;
    return m_nAnswers >= kAnswersToStart;
}

void CSlotWatch::Provisioned(bool mayBeStarting)
{
    m_bDone = true;
    m_bMayBeStarting = mayBeStarting;
    m_nMisses = 0;
    m_nAnswers = 0;
}

void CSlotWatch::PortGone()
{
    m_bDone = false;
    m_bMayBeStarting = false;
    m_nMisses = 0;
    m_nAnswers = 0;
}

void WatchPort(const QString& port, const ProvisionPlan& plan, const WatchSink& sink)
{
    CSlotWatch watch;
    std::optional<CCameraLink> probe; // held open between probes
    QString shown;
    const auto tell = [&](const QString& state) {
        if (std::exchange(shown, state) != state)
            sink.between(state);
    };
    QString afterRun;
    while (!CCameraLink::s_bInterrupted) {
        if (probe && probe->DeviceLost()) {
            probe->Close();
            probe.reset();
            watch.PortGone();
        }
        if (!probe) {
            probe.emplace([](const QString&) {}); // a port not there is told once, below
            if (QString error; !probe->Open(port, plan.nBaud, &error)) {
                const bool held = probe->FailureStep() == NextStep::FreePort;
                probe.reset();
                if (!held) // another program's camera may be this slot's still
                    watch.PortGone();
                tell((held ? u"port held by another program, waiting for it: "_s
                           : u"port not there, waiting for it: "_s)
                     + error.section(u'\n', 0, 0));
                CCameraLink::WaitUntil([] { return false; }, kProbeEveryMs);
                continue;
            }
        }
        const bool answered = probe->Answers(kProbedRegister);
        if (watch.Probed(answered)) {
            shown.clear();
            const CameraRecord record = ProvisionCameraOn(*probe, port, plan, sink.camera);
            if (record.bPortWentAway) // what answers there now is another camera, or this one plugged in again
                watch.PortGone();
            else
                watch.Provisioned(record.bMayBeStarting);
            sink.provisioned(record);
            afterRun = record.bOk ? u"done, unplug"_s : u"FAILED, unplug: "_s + record.strFailure;
            continue;
        }
        tell(watch.WaitingForUnplug() ? afterRun : answered ? u"a camera answers"_s : u"waiting for a camera"_s);
        CCameraLink::WaitUntil([] { return false; }, kProbeEveryMs);
    }
    if (probe)
        probe->Close();
}
