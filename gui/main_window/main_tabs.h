#pragma once

#include <QRect>

class CCoolTabCtrl;
class QWidget;

// The three pages as tabs in `area` (the placeholder's, 20 px taller): the
// image parameters, OSD and upgrade, the first selected, their strip on top.
void SetUpMainTabs(CCoolTabCtrl& tabs, QRect area, QWidget* para, QWidget* osd, QWidget* upgrade);
