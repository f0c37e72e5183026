#pragma once

#include <QAccessible>

class CCoolTabCtrl;

// Makes CCoolTabCtrl visible to screen readers and UI automation the way
// Qt's own tab bars are: a page tab list with one pressable page tab per
// tab, named by its caption, followed by the page widgets.
void InstallCoolTabAccessibility();

// Tells assistive technology that the tab at `index` became current.
void NotifyCoolTabSelected(CCoolTabCtrl* control, int index);
