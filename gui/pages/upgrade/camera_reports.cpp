#include "pages/upgrade/camera_reports.h"

#include "resources/string_ids.h"

int ReportStringId(const std::string& report)
{
    if (report == "E001")
        return Ids::ErrorChecksum;
    if (report == "E002")
        return Ids::ErrorFlash;
    if (report == "E003")
        return Ids::ErrorFileSize;
    if (report == "E004")
        return Ids::ErrorCommand;
    if (report == "E010")
        return Ids::ErrorUnknown;
    return 0;
}
