#include "pages/osd/dlg_osd.h"

#include "common/ini_file.h"
#include "common/program_dir.h"
#include "pages/osd/video_formats.h"
#include "res/string_ids.h"

#include <QComboBox>

using namespace Qt::StringLiterals;

CDlgOSD::CDlgOSD(QWidget* parent) : CTemplatePage(Ids::DialogOsd, parent)
{
    auto* formats = Item<QComboBox>(1028);
    formats->addItems(OfferedVideoFormats(ReadIniString(ConfigIniPath(), u"PathInfo"_s, u"vedioType"_s, QString(), 16)));
    formats->setCurrentIndex(-1); // nothing selected until the first fill
}

int CDlgOSD::LoadFromRegisterImage()
{
    // Still to come with the OSD page: selecting the video format and the OSD
    // fields from RegisterImage.
    return 0;
}

int CDlgOSD::SaveToDevice()
{
    // Still to come with the OSD page: writing the OSD language.
    return 0;
}
