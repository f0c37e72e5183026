#include "core/protocol/next_steps.h"

#include "core/protocol/upgrade_protocol.h"

NextStep NextStepForReport(std::string_view report)
{
    switch (ReportMeaning(report)) {
    case CameraReport::ChecksumError: return NextStep::RetryUpgrade; // garbled on the way
    case CameraReport::CommandError: return NextStep::RetryUpgrade;
    case CameraReport::FileSizeError: return NextStep::CheckPackage;
    case CameraReport::FlashError:
    case CameraReport::UnknownError:
    case CameraReport::Unlisted: break;
    }
    return NextStep::PowerCycleRetry;
}

NextStep NextStepForLostLine(bool behindServer)
{
    return behindServer ? NextStep::CheckServer : NextStep::ReplugAdapter;
}
