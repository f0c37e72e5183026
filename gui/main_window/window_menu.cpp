#include "gui/main_window/window_menu.h"

#include "gui/main_window/language_menu.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

#include <QMenu>

void ShowWindowMenu(QWidget* parent, QPoint at, const WindowMenu& items)
{
    const QString aboutText = LoadString(Ids::AboutMenu);
    if (aboutText.isEmpty())
        return;
    QMenu menu(parent);
    menu.addAction(LoadString(Ids::FindCameraMenu), parent, items.findCamera)->setEnabled(items.bFindEnabled);
    menu.addAction(LoadString(Ids::ExportSettingsMenu), parent, items.exportSettings);
    menu.addAction(LoadString(Ids::ImportSettingsMenu), parent, items.importSettings);
    menu.addAction(LoadString(Ids::RestoreMenu), parent, items.restoreSettings);
    QAction* trace = menu.addAction(LoadString(Ids::TraceMenu), parent, items.traceLine);
    trace->setCheckable(true);
    trace->setChecked(items.bTracing);
    menu.addAction(LoadString(Ids::NetworkPortMenu), parent, items.networkPort);
    menu.addAction(LoadString(Ids::StationMenu), parent, items.station)->setEnabled(items.bStationEnabled);
    menu.addSeparator();
    AddLanguageMenu(&menu);
    menu.addAction(aboutText, parent, items.about);
    menu.exec(at);
}
