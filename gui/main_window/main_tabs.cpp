#include "gui/main_window/main_tabs.h"

#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "gui/widgets/cool_tab_ctrl.h"

using namespace Qt::StringLiterals;

void SetUpMainTabs(CCoolTabCtrl& tabs, QRect area, QWidget* para, QWidget* osd, QWidget* upgrade)
{
    area.setBottom(area.bottom() + 20);
    tabs.SetStyle(TabStyle::TabstripBottom);
    tabs.setObjectName(u"control126"_s);
    tabs.setGeometry(area);
    para->show();
    tabs.AddTab(para, LoadString(Ids::TabParameters));
    osd->show();
    tabs.AddTab(osd, u" OSD "_s);
    upgrade->show();
    tabs.AddTab(upgrade, LoadString(Ids::TabUpgrade));
    tabs.LayoutTabs();
    tabs.SelectTab(tabs.CurSel() < 0 ? 0 : tabs.CurSel());

    // The strip moves to the top once the pages are in.
    tabs.SetStyle((tabs.Style() | TabStyle::TabsSlideIn | TabStyle::TabstripTop) & ~TabStyle::TabstripBottom);
    tabs.LayoutTabs();
    tabs.SelectTab(tabs.CurSel() < 0 ? 0 : tabs.CurSel());
    tabs.update();
}
