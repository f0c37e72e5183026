// orvane-cli provision: every camera at once, each on a thread of its own.
#include "cli/cli_commands.h"
#include "cli/provision_board.h"
#include "cli/provision_ports.h"
#include "cli/upgrade_images.h"
#include "core/config/append_file.h"
#include "core/config/com_ports.h"
#include "core/settings/settings_file.h"
#include "provision/camera_link.h"
#include "provision/provision_camera.h"
#include "provision/provision_report.h"
#include "provision/provision_watch.h"
#include "serial/post_call.h"
#include "serial/system_ports.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRedrawMs = 200;

// The package and the settings, read and checked whole; false after saying why.
bool CheckPlan(const CliOptions& options, CliStreams& io, ProvisionPlan* plan)
{
    plan->nBaud = options.nBaud;
    if (!options.strPackage.isEmpty()) {
        // The report names the files as they were found: a path relative to
        // where the command ran says nothing once the report is read elsewhere.
        plan->strPackagePath = QFileInfo(options.strPackage).absoluteFilePath();
        plan->package = CheckedPackage(options.strPackage, io);
        if (!plan->package)
            return false;
        plan->packageVersions = VersionsOfPackage(plan->package->entries);
        plan->unverifiable = UnverifiableVersions(plan->package->entries);
        for (const QString& note : plan->unverifiable)
            io.err << u"orvane-cli: note: "_s << note << Qt::endl;
    }
    if (!options.strSettings.isEmpty()) {
        plan->strSettingsPath = QFileInfo(options.strSettings).absoluteFilePath();
        QByteArray file;
        if (!ReadInputFile(options.strSettings, kSettingsFileMax, &file, io))
            return false;
        QString error;
        plan->settings = CheckSettingsFile(file, &error);
        if (!plan->settings) {
            io.err << u"orvane-cli: %1: %2"_s.arg(options.strSettings, error) << Qt::endl;
            return false;
        }
    }
    return true;
}

// False when the system would not run the thread (too many threads or
// processes for this user, too little memory): QThread says so in a warning,
// and leaves the thread neither running nor finished.
bool StartThread(QThread& thread)
{
    thread.start();
    return thread.isRunning() || thread.isFinished();
}

// A camera that was never opened, for want of a thread to run it.
CameraRecord ThreadlessCamera(const QString& port, const QString& serialNumber)
{
    CameraRecord record;
    record.strPort = port;
    record.strSerialNumber = serialNumber;
    record.started = QDateTime::currentDateTimeUtc();
    record.strFailure = u"the system would not start a thread for this camera (too many threads or processes for "
                        "this user, or too little memory); nothing was sent to it"_s;
    return record;
}

} // namespace

int RunProvision(const CliOptions& options, CliStreams& io,
                 const std::function<void(int camera, QThread& thread)>& prepareThread)
{
    // Everything is checked before the first port opens: a bad file sends nothing anywhere.
    const QStringList ports = PortsToProvision(options, io);
    ProvisionPlan plan;
    if (ports.isEmpty() || !CheckPlan(options, io, &plan))
        return ExitCode::Usage;
    CAppendFile report(options.strReport);
    QString reportError;
    if (!options.strReport.isEmpty() && !report.Open(LinkAtPath::Follow, &reportError)) {
        io.err << u"orvane-cli: cannot write the report %1: %2"_s.arg(options.strReport, reportError) << Qt::endl;
        return ExitCode::Usage;
    }
    const QList<SystemPort> machinePorts = SystemPorts();

    CProvisionBoard board(io, ports);
    QObject mainThread; // what the cameras' threads post to
    // Each camera as its run ended, with its port's index; a watched port has any number.
    std::vector<std::pair<int, CameraRecord>> records;
    int passed = 0;
    int failed = 0;
    qsizetype portsDone = 0;
    bool reportFailed = false;
    QEventLoop allDone;
    const auto reportLost = [&](const QString& why) {
        if (!std::exchange(reportFailed, true))
            io.err << u"orvane-cli: cannot write the report %1: %2; the summary below still holds"_s.arg(
                          options.strReport, why)
                   << Qt::endl;
    };
    // On the main thread, once per camera.
    const auto provisioned = [&](int i, const CameraRecord& record) {
        records.emplace_back(i, record);
        board.Finished(i, record);
        ++(record.bOk ? passed : failed);
        if (options.bWatch)
            board.Counted(passed, failed);
        if (QString why; report.IsOpen() && !report.Write(ReportLine(record, plan) + '\n', &why))
            reportLost(why);
    };
    const auto portDone = [&] {
        if (++portsDone == ports.size())
            allDone.quit();
    };
    QStringList serials; // of the ports' USB adapters
    for (const QString& port : ports)
        serials.append(SerialNumberOf(machinePorts, ResolvePort(port).strDevice));
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < ports.size(); ++i) {
        const auto post = [&mainThread](std::function<void()> call) { PostCall(&mainThread, std::move(call)); };
        threads.emplace_back(QThread::create([&, i, serial = serials[i], post] {
            const ProvisionSink sink{
                [&, i, post](const QString& stage) { post([&, i, stage] { board.Stage(i, stage); }); },
                // Told for every 100-byte piece; the board shows whole percents.
                [&, i, post, shown = -1](int percent, qint64 rate) mutable {
                    if (std::exchange(shown, percent) != percent)
                        post([&, i, percent, rate] { board.Progress(i, percent, rate); });
                },
            };
            const auto ended = [&, i, serial, post](CameraRecord record) {
                record.strSerialNumber = serial;
                post([&, i, record] { provisioned(i, record); });
            };
            if (options.bWatch)
                WatchPort(ports[i], plan,
                          {sink, [&, i, post](const QString& state) { post([&, i, state] { board.Stage(i, state); }); },
                           ended});
            else
                ended(ProvisionCamera(ports[i], plan, sink));
            post([&] { portDone(); });
        }));
    }
    QTimer redraw;
    QObject::connect(&redraw, &QTimer::timeout, &mainThread, [&board] { board.Redraw(); });
    redraw.start(kRedrawMs);
    board.Redraw();
    if (options.bWatch)
        board.Counted(0, 0);
    for (int i = 0; i < ports.size(); ++i) {
        if (prepareThread)
            prepareThread(i, *threads[i]);
        if (!StartThread(*threads[i])) {
            provisioned(i, ThreadlessCamera(ports[i], serials[i]));
            portDone();
        }
    }
    if (portsDone < ports.size()) // else quit() came before the loop ran
        allDone.exec();
    for (const auto& thread : threads)
        thread->wait();
    if (QString why; !report.Close(&why))
        reportLost(why);

    // By port, and on each port in the order its cameras came.
    std::stable_sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<CameraRecord> summary;
    for (auto& [port, record] : records)
        summary.push_back(std::move(record));
    io.out << u'\n' << SummaryTable(summary) << Qt::flush;
    const bool allOk = failed == 0;
    // A report that lost lines is no record of the day: not a success either.
    return allOk && !reportFailed ? ExitCode::Success : ExitCode::CameraOrPort;
}
