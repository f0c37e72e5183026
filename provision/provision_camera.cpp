#include "provision/provision_camera.h"

#include "core/config/printable_text.h"
#include "provision/camera_link.h"
#include "provision/skipped_images.h"
#include "provision/upgrade_on_link.h"

#include <QElapsedTimer>
#include <QFileInfo>

using namespace Qt::StringLiterals;

void ProvisionPlan::TakePackage(const QString& path, PackageContents contents)
{
    // The report names the files as they were found: a path relative to
    // where the run started says nothing once the report is read elsewhere.
    strPackagePath = QFileInfo(path).absoluteFilePath();
    package = std::move(contents);
    packageVersions = VersionsOfPackage(package->entries);
    unverifiable = UnverifiableVersions(package->entries);
}

void ProvisionPlan::TakeSettings(const QString& path, SettingsToApply toApply)
{
    strSettingsPath = QFileInfo(path).absoluteFilePath();
    settings = std::move(toApply);
}

namespace {

class CProvisionRun {
public:
    CProvisionRun(CCameraLink& link, const QString& port, const ProvisionPlan& plan, const ProvisionSink& sink,
                  CameraRecord& record)
        : m_port(port), m_plan(plan), m_sink(sink), m_record(record), m_link(link)
    {
    }

    // False with the record's failure set. The link is opened first unless it is open already.
    bool Run(bool opened)
    {
        m_sink.stage(u"reading"_s);
        QString error;
        if ((!opened && !m_link.Open(m_port, m_plan.nBaud, &error)) || !m_link.ReadConfiguration(&error))
            return Fail(error, m_link.FailureStep());
        if (m_link.Line().LineEchoes())
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
    bool Fail(const QString& reason, std::optional<NextStep> next = std::nullopt)
    {
        m_record.strFailure = reason;
        m_record.nextStep = next;
        return false;
    }

    // The session's upgrade run with its restart, read and verification.
    bool Upgrade()
    {
        const ImageChoice choice = m_link.Upgrade().Choose(m_plan.package->entries);
        m_record.skipped = SkippedLines(*m_plan.package, choice);
        std::optional<SentImage> sending;
        const UpgradeObserver observer{
            [&](const RunImage& image) {
                m_sink.stage(ImagePrefix(image));
                sending = SentImage{PrintableName(image.strName), image.nChecksum, image.bytes.size(), 0};
            },
            [this](const QString& stage) { // of the images' stages, the summary line shows the image
                if (stage == u"restarting" || stage == u"verifying")
                    m_sink.stage(stage);
            },
            [this](int percent, qint64 rate, qint64) { m_sink.progress(percent, rate); },
            [&](qint64, qint64 rate) { sending->nBytesPerSecond = rate; },
            [&](const RunImage&) { m_record.images.push_back(*sending); },
        };
        const UpgradeEnd end = RunUpgradeOn(m_link, {m_plan.package->entries, QString(), true, 0}, observer);
        // Read again after the restart (or with nothing to send): what the
        // camera reports now; else the first read stays the last.
        const bool readAgain =
            end.result && (end.strFailure.isEmpty() || end.result->end == CUpgradeRun::End::NotVerified);
        if (readAgain) {
            m_record.after = end.result->after;
            m_record.unverified = m_plan.unverifiable;
        }
        if (end.strFailure.isEmpty())
            return true;
        if (end.result && end.result->end == CUpgradeRun::End::Reported)
            m_record.strCameraReport = end.result->strDetail;
        m_record.bMayBeStarting = true;
        m_record.bUnpluggedMidImage = end.bLostMidImage;
        return Fail(end.bOfImage ? ImagePrefix(end.image) + u": "_s + end.strFailure : end.strFailure, end.nextStep);
    }

    static QString ImagePrefix(const RunImage& image)
    {
        return u"image %1/%2 %3"_s.arg(image.nNumber).arg(image.nCount).arg(PrintableName(image.strName));
    }

    bool Apply()
    {
        m_sink.stage(u"applying settings"_s);
        const ApplyResult result = ApplySettings(m_link, *m_plan.settings, u"provision "_s + m_plan.strSettingsPath);
        switch (result.fault) {
        case ApplyResult::Fault::None: break;
        case ApplyResult::Fault::DoesNotFit:
            return Fail(u"the settings do not fit this camera, nothing was written: "_s + result.strError);
        case ApplyResult::Fault::WritesStopped:
            if (!result.strError.isEmpty())
                return Fail(result.strError + u" while the settings were written: the camera may hold part of them"_s,
                            m_link.LostLineStep());
            return Fail(u"interrupted while the settings were written: the camera may hold part of them"_s);
        case ApplyResult::Fault::ReadBackFailed:
            return Fail(u"the settings' read-back failed: "_s + result.strError, m_link.FailureStep());
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
    CCameraLink& m_link;
};

// The run on `link`, its port's errors among the record's notes; whatever
// was still paced out, the "R" included, has gone when it returns.
CameraRecord RunOn(CCameraLink& link, bool opened, const QString& port, const ProvisionPlan& plan,
                   const ProvisionSink& sink)
{
    CameraRecord record;
    record.strPort = port;
    record.started = QDateTime::currentDateTimeUtc(); // the time zone is looked up on the main thread alone
    QElapsedTimer clock;
    clock.start();
    link.TellTo([&record](const QString& line) { record.notes.append(line); });
    const int lossesBefore = link.Losses();
    record.bOk = CProvisionRun(link, port, plan, sink, record).Run(opened);
    link.Drain();
    record.bPortWentAway = link.Losses() > lossesBefore;
    link.TellTo([](const QString&) {});
    record.nElapsedMs = clock.elapsed();
    return record;
}

} // namespace

CameraRecord ProvisionCamera(const QString& port, const ProvisionPlan& plan, const ProvisionSink& sink)
{
    CCameraLink link([](const QString&) {});
    CameraRecord record = RunOn(link, false, port, plan, sink);
    link.Close();
    return record;
}

CameraRecord ProvisionCameraOn(CCameraLink& link, const QString& port, const ProvisionPlan& plan,
                               const ProvisionSink& sink)
{
    return RunOn(link, true, port, plan, sink);
}
