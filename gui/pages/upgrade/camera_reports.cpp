#include "gui/pages/upgrade/camera_reports.h"

#include "core/protocol/upgrade_protocol.h"
#include "gui/resources/string_ids.h"

int ReportStringId(const std::string& report)
{
    switch (ReportMeaning(report)) {
    case CameraReport::ChecksumError: return Ids::ErrorChecksum;
    case CameraReport::FlashError: return Ids::ErrorFlash;
    case CameraReport::FileSizeError: return Ids::ErrorFileSize;
    case CameraReport::CommandError: return Ids::ErrorCommand;
    case CameraReport::UnknownError: return Ids::ErrorUnknown;
    case CameraReport::Unlisted: break;
    }
    return 0;
}
