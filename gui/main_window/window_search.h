#pragma once

#include "session/ports_scan.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CCameraScan;
class CLineTrace;
class QWidget;

// The window's searches for a camera that does not answer: at the open
// port, rate by rate, after a read failed; or at every port the window's
// list offers, in the find-camera dialog. The window keeps its lists and
// what it shows, and opens the camera found.
class CWindowSearch final {
public:
    struct Window {
        std::function<bool()> portOpen;  // the window's port is open
        std::function<bool()> upgrading; // an upgrade runs: no search begins
        std::function<int()> rate;       // the line's rate now, tried first
        std::function<void(const QString&)> say; // in the window's transient label
        // At the open port: the search begins, the window's wait for a reply is over.
        std::function<void()> searchBegins;
        // The camera at the open port answered at this rate, which the port
        // keeps: the window shows it and reads the camera.
        std::function<void(int baud)> readAt;
        // The window lets go of its port, to have it searched too, and lists the ports anew.
        std::function<void()> releasePort;
        std::function<std::vector<PortToScan>()> ports; // what the port list offers
        std::function<bool()> portsFree; // the port the window let go of has closed
        std::function<void(const PortScanResult&)> open; // the camera chosen in the dialog
        std::function<std::shared_ptr<CLineTrace>()> trace; // the window's trace; null when none runs
    };

    CWindowSearch(CCameraScan& scan, QWidget* dialogParent, Window window);

    // The camera's rate searched for at the open port (the window's read failed).
    void AtOpenPort();
    // "查找相机(&F)...": every port searched in a dialog; the camera chosen is opened.
    void AtEveryPort();

private:
    void OnAtOpenPortEnded(const std::optional<ScanFinding>& finding);

    CCameraScan& m_scan;
    QWidget* m_dialogParent;
    Window m_window;
};

// The ports to search, from the port list's entries by their device (empty
// for COM1..COM5, which open what config.ini maps them to). A device two
// entries open is searched once (CPortsScan).
std::vector<PortToScan> PortsToScan(const QStringList& entryDevices);
