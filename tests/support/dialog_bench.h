#pragma once

#include "gui/main_window/main_dialog.h"
#include "tests/support/camera_fixture.h"
#include "tests/support/message_box_recorder.h"

#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Showing a window makes QtGui convert and scale images on Qt's thread pool,
// whose locking ThreadSanitizer cannot see; tests that show the window run in
// the plain suite only. No thread of ours is involved in what they check.
#if defined(__SANITIZE_THREAD__)
#define SKIP_SHOWN_WINDOW_UNDER_TSAN() QSKIP("shows the window: not under ThreadSanitizer")
#else
#define SKIP_SHOWN_WINDOW_UNDER_TSAN() (void)0
#endif

// Screenshots for docs/ are written only where the directory is named.
#define SKIP_UNLESS_SCREENSHOTS(fileName)                                                                              \
    if (qEnvironmentVariableIsEmpty("ORVANE_SCREENSHOT_DIR"))                                                        \
    QSKIP("set ORVANE_SCREENSHOT_DIR to write docs/" fileName)

// The 23 read requests of one cycle, in the order the camera must see them.
std::string CycleRequests();

// The text a control of the main dialog shows (label, button or list).
QString Text(CMyCorvixDlg& dialog, int id);

// The upgrade page's log, one entry per line, without the "hh:mm:ss  " stamps.
QStringList LogLines(CDlgUpdate& page);

// Now on the steady clock, in nanoseconds, as the simulator stamps its line.
std::int64_t SteadyNowNs();

// Counts the GUI thread's event-loop turns while it lives: a 10 ms timer
// stamps each turn on the steady clock, as the simulator stamps its line.
class EventLoopTurns {
public:
    EventLoopTurns();
    // The turns stamped from fromNs to toNs.
    int Between(std::int64_t fromNs, std::int64_t toNs) const;
    // The longest time without a turn from fromNs to toNs (for benchmarks).
    std::int64_t LongestGapNs(std::int64_t fromNs, std::int64_t toNs) const;

private:
    QTimer m_timer;
    std::vector<std::int64_t> m_stamps;
};

// A camera on COM1, a box recorder and the main dialog, with config.ini
// holding the given [PathInfo] lines; "UiLanguage=en" among them gives the
// English window.
struct DialogBench {
    CameraFixture camera;
    MessageBoxRecorder boxes;
    std::unique_ptr<CMyCorvixDlg> dialog;
    QTemporaryDir packageDir;

    explicit DialogBench(const QString& pathInfo = QString(), CameraFaults faults = {}, CameraTiming timing = {},
                         PtyOptions line = {});

    // Opens COM1 with the button and waits for the whole cycle and its language write.
    bool OpenAndRead(const char* languageWrite = "w 01 00F9\r\n");

    // Shows the window, opens and reads the camera, lets `prepare` set the
    // scene, and saves the window as $ORVANE_SCREENSHOT_DIR/<fileName>.
    bool ShowReadAndGrab(const QString& fileName, const std::function<void()>& prepare = {});

    // Writes a package of one image the camera does not run, chooses it and
    // presses "升级"; true once the upgrade run has begun.
    bool StartUpgrade(const QByteArray& image = "image");

    // Chooses the upgrade package at `path` as "浏览..." does, then empties
    // the log, so that what a test reads there is the upgrade's.
    void ChoosePackage(const QString& path);

    // Sends a write of its own and waits for it: what the camera received
    // before it was sent before it, so "nothing was sent" needs no sleep.
    std::string ReceivedBeforeMarker();
};
