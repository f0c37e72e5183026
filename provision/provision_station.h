#pragma once

#include "core/config/append_file.h"
#include "provision/provision_camera.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QThread;

// What a station's ports tell, on the thread that made the station.
struct StationEvents {
    std::function<void(int port, const QString& stage)> stage; // a camera's stage, or the state between cameras
    std::function<void(int port, int percent, qint64 bytesPerSecond)> progress; // whole percents of an image
    // Each camera as its run ended, reported by then; the cameras passed and failed so far.
    std::function<void(int port, const CameraRecord& record, int passed, int failed)> provisioned;
    std::function<void(const QString& why)> reportLost; // once: a report line could not be written
    std::function<void()> finished;                     // every port's thread has ended
};

// A bench of ports provisioned at once, each port on a thread of its own:
// one camera per port, or (watching) every camera plugged in, one after
// another, until stopped. orvane-cli provision and the window's station both
// run it. Each camera's line goes to the report as its run ends.
class CProvisionStation {
public:
    CProvisionStation(QStringList ports, ProvisionPlan plan, bool watch, StationEvents events);
    // Stops, and waits for every port's thread.
    ~CProvisionStation();
    Q_DISABLE_COPY_MOVE(CProvisionStation)

    // The report, appended to; an empty path writes none. False with *error.
    bool OpenReport(const QString& path, QString* error);
    // `prepare` may change a port's thread before it starts.
    void Start(const std::function<void(int port, QThread& thread)>& prepare = {});
    // As Ctrl-C: a camera under way is released, then its port's thread
    // ends. It holds for every link of the process until ClearStop().
    static void Stop();
    static void ClearStop();
    bool Finished() const { return m_nPortsDone == m_ports.size(); }
    // Waits for every port's thread, then closes the report (false with *why).
    bool Close(QString* why);

private:
    void Provisioned(int port, CameraRecord record);
    void PortDone();
    void RunPort(int port);

    const QStringList m_ports;
    const ProvisionPlan m_plan;
    const bool m_bWatch;
    const StationEvents m_events;
    QStringList m_serialNumbers; // of the ports' USB adapters
    std::unique_ptr<CAppendFile> m_report;
    QObject m_home; // what the ports' threads post to
    std::vector<std::unique_ptr<QThread>> m_threads;
    int m_nPassed = 0;
    int m_nFailed = 0;
    qsizetype m_nPortsDone = 0;
    bool m_bReportFailed = false;
};
