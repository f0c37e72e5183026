#include "pages/para/dlg_para.h"

#include "common/ini_file.h"
#include "common/program_dir.h"
#include "res/string_ids.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

CDlgPara::CDlgPara(QWidget* parent) : CTemplatePage(Ids::DialogPara, parent)
{
    // The six values are shown once at creation: their edits read 0 until the first fill.
    for (const int id : {1002, 1003, 1004, 1005, 1006, 1036})
        Item<QLineEdit>(id)->setText(u"0"_s);
    // The day/night switch test is offered only where config.ini asks for it.
    if (ReadIniInt(ConfigIniPath(), u"PathInfo"_s, u"showSwith"_s, 0) == 0)
        GetDlgItem(1074)->hide();
}

int CDlgPara::LoadFromRegisterImage()
{
    // Still to come with the image-parameter page: filling the controls from
    // RegisterImage (versions, exposure, colour, enabling rules). Until then
    // the page keeps showing its initial values.
    return 0;
}

int CDlgPara::SaveToDevice()
{
    // Still to come with the image-parameter commands: the 19 register
    // writes of a save. Until then a save sends nothing from this page.
    return 0;
}
