#pragma once

#include <QPoint>
#include <functional>

class QWidget;

// What the main window's context menu offers, in its order.
struct WindowMenu {
    std::function<void()> findCamera{};
    bool bFindEnabled = true; // not while an upgrade runs
    std::function<void()> exportSettings{};
    std::function<void()> importSettings{};
    std::function<void()> restoreSettings{}; // a kept record of this port's settings onto the pages
    std::function<void()> traceLine{};
    bool bTracing = false; // the trace item is checked
    std::function<void()> networkPort{}; // a device server's port added to the port list
    std::function<void()> station{};     // the production station
    bool bStationEnabled = true;         // not while an upgrade runs
    std::function<void()> about{};
};

// Shows the menu at `at` (the languages come before the about box) and
// runs what is chosen. Nothing shows when the string table has no about text.
void ShowWindowMenu(QWidget* parent, QPoint at, const WindowMenu& items);
