#include "provision_camera.h"

#include "camera_link.h"
#include "protocol/link_protocol.h"
#include "upgrade_images.h"
#include "upgrade_run.h"

#include <QElapsedTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int kBootPauseMs = 2000;   // after a restart, before the camera is read again
constexpr int kComeBackMs = 30000;  // for the camera to answer again after a restart

class CProvisionRun {
public:
    CProvisionRun(const QString& port, const ProvisionPlan& plan, const ProvisionSink& sink, CameraRecord& record)
        : m_port(port), m_plan(plan), m_sink(sink), m_record(record),
          m_link([&record](const QString& line) { record.notes.append(line); })
    {
    }

    // False with the record's failure set.
    bool Run()
    {
        m_sink.stage(u"reading"_s);
        QString error;
        if (!m_link.Open(m_port, m_plan.nBaud, &error) || !m_link.ReadConfiguration(&error))
            return Fail(error);
        if (m_link.Port().LineEchoes())
            m_record.notes.append(u"the line returns every byte sent (local echo); taken out of the answers"_s);
        m_record.before = m_record.after = VersionsOfCamera(m_link.Registers().data());
        if (m_plan.package && !Upgrade())
            return false;
        if (m_plan.settings && !Apply())
            return false;
        m_record.after = VersionsOfCamera(m_link.Registers().data());
        return true;
    }

private:
    bool Fail(const QString& reason)
    {
        m_record.strFailure = reason;
        return false;
    }

    bool Upgrade()
    {
        const ImageChoice choice = ImagesToSend(*m_plan.package, m_link.Registers());
        m_record.skipped = choice.skipped;
        for (std::size_t i = 0; i < choice.images.size(); ++i) {
            const UpgradeImage& image = choice.images[i];
            const QString prefix = u"image %1/%2 %3"_s.arg(i + 1).arg(choice.images.size()).arg(image.strName);
            m_sink.stage(prefix);
            SentImage sent{image.strName, image.nChecksum, image.bytes.size(), 0};
            const UpgradeObserver observer{
                [](const QString&) {},
                [this](int percent, qint64 rate, qint64) { m_sink.progress(percent, rate); },
                [&sent](qint64, qint64 rate) { sent.nBytesPerSecond = rate; },
            };
            if (const QString failure = SendImage(m_link, image, observer); !failure.isEmpty())
                return Fail(prefix + u": "_s + failure);
            m_record.images.push_back(sent);
        }
        if (!choice.images.empty() && !RestartAndReadAgain())
            return false;
        m_record.after = VersionsOfCamera(m_link.Registers().data());
        m_record.unverified = m_plan.unverifiable;
        const std::vector<VersionMismatch> mismatches = CompareVersions(m_plan.packageVersions, *m_record.after);
        if (mismatches.empty())
            return true;
        QStringList what;
        for (const VersionMismatch& mismatch : mismatches)
            what.append(u"%1 version %2 where the package's image names %3"_s
                            .arg(mismatch.bSoftware ? u"software"_s : u"hardware"_s, mismatch.strReported,
                                 mismatch.strExpected));
        return Fail(u"not verified: after the upgrade and a restart the camera reports "_s + what.join(u", and "_s));
    }

    // The restart of the window's restart button: the trigger, the port
    // closed, then read again until the camera answers.
    bool RestartAndReadAgain()
    {
        m_sink.stage(u"restarting"_s);
        m_link.Write({0, kRestartRegister});
        m_link.Write({1, kRestartRegister});
        m_link.Close();
        QElapsedTimer sinceRestart;
        sinceRestart.start();
        if (!m_link.WaitUntil([] { return false; }, kBootPauseMs) && CCameraLink::s_bInterrupted)
            return Fail(u"interrupted while the camera restarted"_s);
        m_sink.stage(u"verifying"_s);
        // A port that is gone is said as such, when it went: waiting on cannot bring it back.
        const auto portGone = [&](const QString& what, const QString& error) {
            return Fail(u"%1 s after the camera's restart, %2: %3; the upgrade was sent: provision the camera again once the "
                        "port is back, to verify it"_s.arg(sinceRestart.elapsed() / 1000.0, 0, 'f', 1)
                            .arg(what, error));
        };
        QString error;
        if (!m_link.Open(m_port, m_plan.nBaud, &error))
            return portGone(u"its port could not be opened again"_s, error);
        while (!m_link.ReadConfiguration(&error)) {
            if (CCameraLink::s_bInterrupted)
                return Fail(u"interrupted while waiting for the camera after its restart"_s);
            if (m_link.DeviceLost())
                return portGone(u"while waiting for it to answer"_s, error);
            if (sinceRestart.hasExpired(kComeBackMs))
                return Fail(u"the camera was not back %1 s after its restart: %2"_s.arg(kComeBackMs / 1000).arg(error));
        }
        return true;
    }

    bool Apply()
    {
        m_sink.stage(u"applying settings"_s);
        const ApplyResult result = ApplySettings(m_link, *m_plan.settings);
        switch (result.fault) {
        case ApplyResult::Fault::None: break;
        case ApplyResult::Fault::DoesNotFit:
            return Fail(u"the settings do not fit this camera, nothing was written: "_s + result.strError);
        case ApplyResult::Fault::ReadBackFailed:
            return Fail(u"the settings' read-back failed: "_s + result.strError);
        case ApplyResult::Fault::Differs:
            m_record.appliedKeys = m_plan.settings->keys;
            m_record.differences = result.differences;
            return Fail(u"%1 setting(s) did not read back as written"_s.arg(result.differences.size()));
        }
        m_record.appliedKeys = m_plan.settings->keys;
        return true;
    }

    const QString& m_port;
    const ProvisionPlan& m_plan;
    const ProvisionSink& m_sink;
    CameraRecord& m_record;
    CCameraLink m_link;
};

} // namespace

CameraRecord ProvisionCamera(const QString& port, const ProvisionPlan& plan, const ProvisionSink& sink)
{
    CameraRecord record;
    record.strPort = port;
    record.started = QDateTime::currentDateTimeUtc(); // the time zone is looked up on the main thread alone
    QElapsedTimer clock;
    clock.start();
    {
        CProvisionRun run(port, plan, sink, record);
        record.bOk = run.Run();
    } // the link closed: whatever was still paced out, the "R" included, has gone
    record.nElapsedMs = clock.elapsed();
    return record;
}
