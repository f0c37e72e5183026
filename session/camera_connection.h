#pragma once

#include "core/settings/settings_file.h"
#include "session/camera_session.h"
#include "session/upgrade_run.h"

#include <functional>
#include <memory>
#include <optional>
#include <QStringList>

class CDeviceOpener;
class CLineTrace;

// One camera's connection, the same for the window and the command line: it
// opens the line and keeps it monitored, knows whether the link is open,
// whether the camera's configuration came whole from the last read, and
// whether the camera said anything since a read began, and keeps what the
// OS said when the line went away. The session and its upgrade run live in
// it; the front ends word what happens in their own language.
class CCameraConnection final {
public:
    struct Events {
        std::function<void()> configurationRead{};
        std::function<void(const ReadFailure&)> readFailed{};
        std::function<void()> lost{}; // the open link's line went away (after its one report)
        // Whether the link is open or its configuration read has changed
        // (after the events above).
        std::function<void()> changed{};
        // A record of the camera's settings could not be written (why); told once.
        std::function<void(const QString&)> backupNotKept{};
    };

    explicit CCameraConnection(Events events);
    ~CCameraConnection();
    Q_DISABLE_COPY_MOVE(CCameraConnection)

    CCameraSession& Session() { return m_session; }
    const CCameraSession& Session() const { return m_session; }
    CUpgradeRun& Upgrade() { return m_upgrade; }
    CLine& Line() { return m_session.Line(); }
    const CLine& Line() const { return m_session.Line(); }

    // Opens the line and monitors it: the link is open, its configuration
    // not read yet. False, and the link closed, when nothing could be
    // opened (OpenError() says why).
    bool Open(const LineOpening& opening);
    // Opens the line only to tell at once whether it is there, then closes
    // it again: the link stays closed.
    bool Probe(const LineOpening& opening);

    // What an opening that waits on the network is for.
    enum class Intent { Open, Probe, Reconnect /* an Open after the line was lost */ };
    // Opens (Open, Reconnect) or probes the line, then runs `done` with
    // whether it opened. A device server's port is connected on a thread
    // of its own first, so that this thread never waits on the network;
    // `done` then runs later, on this thread. Any other device is opened
    // at once. An opening still waiting is given up.
    void OpenThen(const LineOpening& opening, Intent intent, std::function<void(bool opened)> done);
    // What the opening that waits on the network is for; none when none waits.
    std::optional<Intent> Connecting() const;

    // Ends the link: monitoring stops; what was handed over still goes out.
    // The configuration read is then no longer the camera's as it is now.
    // An opening that waits on the network is given up.
    void Close();
    const PortOpenError& OpenError() const { return m_session.Line().OpenError(); }

    // A read cycle after what is queued; from its start a reply is awaited.
    void ReadCycle();

    bool PortOpen() const { return m_bPortOpen; }
    bool ConfigRead() const { return m_bConfigRead; } // the last read came whole
    bool ReplySeen() const { return m_bReplySeen; }   // a character came since the last read began
    // The OS's words when the line went away; empty when it said nothing.
    const QString& LossReason() const { return m_strLossReason; }
    // What a device server set otherwise than asked since the open (its
    // words); a camera that does not answer then is likely at another rate.
    const QString& RefusedByServer() const { return m_strRefusedByServer; }

    // Before a write the front end names ("save", "apply FILE"): what the
    // camera held at its last whole read is kept as a record, once for each
    // read, and the next whole read keeps what it holds after the write
    // (core/settings/settings_backups.h). A record that cannot be written
    // is told once (backupNotKept), and the write goes ahead.
    void BeginWrite(const QString& what);
    // The port as the records of its camera's settings name it.
    QString RecordPort() const;
    // The records written since the connection was made, oldest first.
    const QStringList& BackupsWritten() const { return m_backupsWritten; }

    // Every error the line reports goes there, its loss too, ahead of lost().
    void SetErrorReporter(CommErrorReporter reporter) { m_reporter = std::move(reporter); }
    void SetTrace(std::shared_ptr<CLineTrace> trace) { m_session.SetTrace(std::move(trace)); }

private:
    void KeepRecord(const CameraSettings& settings, const QString& what, bool after);
    // Sets the link's state and tells of a change.
    void SetState(bool portOpen, bool configRead);
    void TellChanged();

    Events m_events;
    CCameraSession m_session;
    CCameraSession::Listening m_listening;
    CommErrorReporter m_reporter;
    bool m_bPortOpen = false;
    bool m_bConfigRead = false;
    bool m_bReplySeen = false;
    QString m_strLossReason;
    QString m_strRefusedByServer;
    // The settings of the last whole read, and what became of them.
    std::optional<CameraSettings> m_lastGoodRead;
    bool m_bBeforeKept = false;     // the record before a write, of this read
    QString m_strAfterDue;          // a write whose record after it waits for a whole read
    bool m_bBackupWarned = false;
    QStringList m_backupsWritten;
    std::unique_ptr<CDeviceOpener> m_opener;
    Intent m_openerIntent = Intent::Open;
    // Declared last: an image transfer ends before the line it writes to.
    CUpgradeRun m_upgrade{m_session};
};
