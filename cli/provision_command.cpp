// orvane-cli provision: every camera at once, each on a thread of its own.
#include "cli/cli_commands.h"
#include "cli/provision_board.h"
#include "cli/provision_ports.h"
#include "cli/upgrade_images.h"
#include "core/settings/settings_file.h"
#include "provision/provision_report.h"
#include "provision/provision_station.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRedrawMs = 200;

// The package and the settings, read and checked whole; false after saying why.
bool CheckPlan(const CliOptions& options, CliStreams& io, ProvisionPlan* plan)
{
    plan->nBaud = options.nBaud;
    if (!options.strPackage.isEmpty()) {
        std::optional<PackageContents> package = CheckedPackage(options.strPackage, io);
        if (!package)
            return false;
        plan->TakePackage(options.strPackage, std::move(*package));
        for (const QString& note : plan->unverifiable)
            io.err << u"orvane-cli: note: "_s << note << Qt::endl;
    }
    if (!options.strSettings.isEmpty()) {
        QByteArray file;
        if (!ReadInputFile(options.strSettings, kSettingsFileMax, &file, io))
            return false;
        QString error;
        std::optional<SettingsToApply> settings = CheckSettingsFile(file, &error);
        if (!settings) {
            io.err << u"orvane-cli: %1: %2"_s.arg(options.strSettings, error) << Qt::endl;
            return false;
        }
        plan->TakeSettings(options.strSettings, std::move(*settings));
    }
    return true;
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

    CProvisionBoard board(io, ports);
    // Each camera as its run ended, with its port's index; a watched port has any number.
    std::vector<std::pair<int, CameraRecord>> records;
    QEventLoop allDone;
    bool reportFailed = false;
    const auto reportLost = [&](const QString& why) {
        if (!std::exchange(reportFailed, true))
            io.err << u"orvane-cli: cannot write the report %1: %2; the summary below still holds"_s.arg(
                          options.strReport, why)
                   << Qt::endl;
    };
    const StationEvents events{
        .stage = [&](int i, const QString& stage) { board.Stage(i, stage); },
        .progress = [&](int i, int percent, qint64 rate) { board.Progress(i, percent, rate); },
        .provisioned =
            [&](int i, const CameraRecord& record, int passed, int failed) {
                records.emplace_back(i, record);
                board.Finished(i, record);
                if (options.bWatch)
                    board.Counted(passed, failed);
            },
        .reportLost = reportLost,
        .finished = [&] { allDone.quit(); },
    };
    CProvisionStation station(ports, plan, options.bWatch, events);
    if (QString error; !station.OpenReport(options.strReport, &error)) {
        io.err << u"orvane-cli: cannot write the report %1: %2"_s.arg(options.strReport, error) << Qt::endl;
        return ExitCode::Usage;
    }

    QTimer redraw;
    QObject::connect(&redraw, &QTimer::timeout, &allDone, [&board] { board.Redraw(); });
    redraw.start(kRedrawMs);
    board.Redraw();
    if (options.bWatch)
        board.Counted(0, 0);
    station.Start(prepareThread);
    if (!station.Finished()) // else every port ended before the loop ran
        allDone.exec();
    if (QString why; !station.Close(&why))
        reportLost(why);

    // By port, and on each port in the order its cameras came.
    std::stable_sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<CameraRecord> summary;
    for (auto& [port, record] : records)
        summary.push_back(std::move(record));
    io.out << u'\n' << SummaryTable(summary) << Qt::flush;
    // A report that lost lines is no record of the day: not a success either.
    const bool allOk = std::none_of(summary.begin(), summary.end(), [](const CameraRecord& r) { return !r.bOk; });
    return allOk && !reportFailed ? ExitCode::Success : ExitCode::CameraOrPort;
}
