#pragma once

#include "serial/line_device.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

// A device opened ahead of its line's Open, on a thread of its own: a
// connect to a device server and the server's answers may take seconds,
// which the window's thread must not wait out. The line's Open then takes
// the device as it is (LineOpening::opened).
struct OpenedDevice {
    QString strDevice{}; // the name it was opened for
    std::unique_ptr<CLineDevice> device{};
    bool bOpened = false; // else the outcome says why not
    CLineDevice::OpenOutcome outcome{};
};

class CDeviceOpener final : public QObject {
public:
    using Done = std::function<void(std::shared_ptr<OpenedDevice>)>;

    // Starts opening the device the opening names; `done` runs on this
    // (the caller's) thread with the outcome, unless the opener is gone first.
    CDeviceOpener(const LineOpening& opening, Done done);
    // Gives up the opening and waits for its thread, which ends within one
    // slice of a wait on the server (100 ms); a device opened meanwhile is closed.
    ~CDeviceOpener() override;
    Q_DISABLE_COPY_MOVE(CDeviceOpener)

private:
    void OnFinished(); // on the caller's thread, once the opening thread is through

    std::shared_ptr<OpenedDevice> m_opened;
    CLineDevice* m_pDevice; // for Cancel() only, until it is handed over
    bool m_bHandedOver = false;
    Done m_done;
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_bEnded{false}; // the thread's last write
};
