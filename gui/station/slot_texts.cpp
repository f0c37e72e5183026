#include "gui/station/slot_texts.h"

#include "gui/pages/upgrade/camera_reports.h"
#include "gui/resources/next_step_text.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

using namespace Qt::StringLiterals;

namespace {

QString VersionsCell(const std::optional<FirmwareVersions>& versions)
{
    return versions ? versions->strSoftware + u'/' + versions->strHardware : u"-"_s;
}

} // namespace

SlotStage SlotStageOf(const QString& stage)
{
    // The provisioning's own words for its stages, and between cameras.
    const auto after = [&stage](QStringView prefix) { return stage.mid(prefix.size()); };
    if (stage == u"waiting for a camera")
        return {SlotColour::Waiting, LoadString(Ids::SlotWaiting), true};
    if (stage == u"a camera answers")
        return {SlotColour::Waiting, LoadString(Ids::SlotAnswers)};
    if (stage.startsWith(u"port not there, waiting for it: "))
        return {SlotColour::Waiting, LoadString(Ids::SlotPortMissing).arg(after(u"port not there, waiting for it: "))};
    if (stage == u"done, unplug")
        return {SlotColour::Passed, LoadString(Ids::SlotDone)};
    if (stage.startsWith(u"FAILED, unplug"))
        return {SlotColour::Failed, LoadString(Ids::SlotFailed)};
    if (stage == u"reading")
        return {SlotColour::Working, LoadString(Ids::SlotReading)};
    if (stage.startsWith(u"image "))
        return {SlotColour::Working, LoadString(Ids::SlotImage).arg(after(u"image "))};
    if (stage == u"restarting")
        return {SlotColour::Working, LoadString(Ids::SlotRestarting)};
    if (stage == u"verifying")
        return {SlotColour::Working, LoadString(Ids::SlotVerifying)};
    if (stage == u"applying settings")
        return {SlotColour::Working, LoadString(Ids::SlotApplying)};
    return {SlotColour::Working, stage};
}

QString SlotFailureText(const CameraRecord& record)
{
    if (record.bUnpluggedMidImage)
        return LoadString(Ids::SlotUnpluggedMidImage);
    QString what = record.strFailure;
    if (const int id = ReportStringId(record.strCameraReport.toStdString()); id != 0)
        what = LoadString(Ids::SlotCameraReport).arg(LoadString(id));
    return record.nextStep ? WithNextStep(what, *record.nextStep) : what;
}

QString SlotVersionsText(const CameraRecord& record)
{
    return LoadString(Ids::SlotVersions).arg(VersionsCell(record.before), VersionsCell(record.after));
}
