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
    struct Words {
        const char16_t* stage;
        SlotColour colour;
        int textId;
    };
    static constexpr Words kStages[] = {
        {u"a camera answers", SlotColour::Waiting, Ids::SlotAnswers},
        {u"reading", SlotColour::Working, Ids::SlotReading},
        {u"restarting", SlotColour::Working, Ids::SlotRestarting},
        {u"verifying", SlotColour::Working, Ids::SlotVerifying},
        {u"applying settings", SlotColour::Working, Ids::SlotApplying},
        {u"done, unplug", SlotColour::Passed, Ids::SlotDone},
    };
    for (const Words& words : kStages) {
        if (stage == words.stage)
            return {words.colour, LoadString(words.textId)};
    }
    const auto after = [&stage](QStringView prefix) { return stage.mid(prefix.size()); };
    if (stage == u"waiting for a camera")
        return {SlotColour::Waiting, LoadString(Ids::SlotWaiting), true};
    for (const auto& [prefix, textId] : {std::pair{u"port not there, waiting for it: ", Ids::SlotPortMissing},
                                         std::pair{u"port held by another program, waiting for it: ", Ids::SlotPortHeld}}) {
        if (stage.startsWith(prefix))
            return {SlotColour::Waiting, LoadString(textId).arg(after(prefix))};
    }
    if (stage.startsWith(u"FAILED, unplug"))
        return {SlotColour::Failed, LoadString(Ids::SlotFailed)};
    if (stage.startsWith(u"image "))
        return {SlotColour::Working, LoadString(Ids::SlotImage).arg(after(u"image "))};
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
