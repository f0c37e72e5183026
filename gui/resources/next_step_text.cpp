#include "gui/resources/next_step_text.h"

#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

QString NextStepText(NextStep step)
{
    switch (step) {
    case NextStep::RetryUpgrade: return LoadString(Ids::NextRetryUpgrade);
    case NextStep::CheckPackage: return LoadString(Ids::NextCheckPackage);
    case NextStep::PowerCycleRetry: return LoadString(Ids::NextPowerCycleRetry);
    case NextStep::SearchOrRecover: return LoadString(Ids::NextSearchOrRecover);
    case NextStep::ReplugAdapter: return LoadString(Ids::NextReplugAdapter);
    case NextStep::FreePort: return LoadString(Ids::NextFreePort);
    case NextStep::CheckServer: return LoadString(Ids::NextCheckServer);
    }
    return QString();
}

QString WithNextStep(const QString& text, NextStep step)
{
    return (text.endsWith(u'\n') ? text : text + u'\n') + NextStepText(step);
}
