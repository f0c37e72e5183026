#pragma once

#include "provision/provision_camera.h"
#include "session/upgrade_run.h"

#include <functional>

// provision --watch: a port of the bench watched for cameras plugged in one
// after another, each provisioned once.

constexpr int kProbeEveryMs = 1000;

// When to start on a camera and when it is gone, from one probe a second.
class CSlotWatch {
public:
    static constexpr int kAnswersToStart = 2; // in a row: a camera is there
    static constexpr int kMissesToGone = 3;   // in a row: it was unplugged
    // A camera whose upgrade failed may be silent because of it (the restart
    // that starts each image): its silence counts once it has answered
    // again, or after as long as a restarted camera is given to come back.
    static constexpr int kMissesWhileItStarts = CUpgradeRun::kComeBackMs / kProbeEveryMs;

    // After a probe: true when the camera that answered is to be provisioned now.
    bool Probed(bool answered);
    // Its run ended: it stays in place until it goes. `mayBeStarting`: the
    // run left it restarting.
    void Provisioned(bool mayBeStarting);
    // The port itself went away: whatever comes with it is another camera.
    void PortGone();
    // A camera was provisioned and has not gone yet.
    bool WaitingForUnplug() const { return m_bDone; }

private:
    bool m_bDone = false;
    bool m_bMayBeStarting = false; // not heard since a run that left it restarting
    int m_nAnswers = 0;
    int m_nMisses = 0;
};

// What a watched port tells, on its own thread.
struct WatchSink {
    ProvisionSink camera;                                // a camera's stages while it is provisioned
    std::function<void(const QString& state)> between;  // between cameras: waiting, or done and to be unplugged
    std::function<void(const CameraRecord&)> provisioned; // each camera, once its run ended
};

// Probes `port` every second with a read of 0x1F alone, provisions each
// camera that answers as provision does, and waits for it to go before the
// next; until Ctrl-C (a camera under way is released first). The port is
// held open from the first probe on, through every camera's run. A port
// that is not there, or that another program holds, is waited for.
void WatchPort(const QString& port, const ProvisionPlan& plan, const WatchSink& sink);
