#include "session/camera_connection.h"

#include "core/config/network_address.h"
#include "core/settings/settings_backups.h"
#include "serial/device_opener.h"

using namespace Qt::StringLiterals;

CCameraConnection::~CCameraConnection() = default;

CCameraConnection::CCameraConnection(Events events)
    : m_events(std::move(events)),
      m_listening(m_session.Listen(CCameraSession::Rank::FrontEnd,
                                   {.heard = [this](char) { m_bReplySeen = true; },
                                    .configurationRead =
                                        [this] {
                                            m_bConfigRead = true;
                                            m_lastGoodRead = SettingsOfRegisters(m_session.Registers().data());
                                            m_bBeforeKept = false;
                                            if (!m_strAfterDue.isEmpty())
                                                KeepRecord(*m_lastGoodRead, std::exchange(m_strAfterDue, {}), true);
                                            if (m_events.configurationRead)
                                                m_events.configurationRead();
                                            TellChanged();
                                        },
                                    .readFailed =
                                        [this](const ReadFailure& failure) {
                                            // The pages keep what the last good read showed, but
                                            // the camera may no longer hold it.
                                            m_bConfigRead = false;
                                            if (m_events.readFailed)
                                                m_events.readFailed(failure);
                                            TellChanged();
                                        },
                                    .lost =
                                        [this] {
                                            if (!std::exchange(m_bPortOpen, false))
                                                return; // closed already: nobody waits for it
                                            m_bConfigRead = false;
                                            if (m_events.lost)
                                                m_events.lost();
                                            TellChanged();
                                        }}))
{
    m_session.SetErrorReporter([this](const CommErrorReport& report) {
        if (report.bDeviceLost)
            m_strLossReason = report.strSystemText;
        if (report.bSettingRefused && report.bBehindServer)
            m_strRefusedByServer = report.strSystemText;
        if (m_reporter)
            m_reporter(report);
    });
}

void CCameraConnection::SetState(bool portOpen, bool configRead)
{
    m_bPortOpen = portOpen;
    m_bConfigRead = configRead;
    TellChanged();
}

void CCameraConnection::TellChanged()
{
    // Told every time: a listener may have changed what it shows meanwhile.
    if (m_events.changed)
        m_events.changed();
}

bool CCameraConnection::Open(const LineOpening& opening)
{
    m_strLossReason.clear();
    m_strRefusedByServer.clear();
    if (!m_session.Open(opening)) {
        SetState(false, false);
        return false;
    }
    m_session.Line().StartMonitor();
    SetState(true, false);
    return true;
}

bool CCameraConnection::Probe(const LineOpening& opening)
{
    const bool opened = m_session.Open(opening);
    if (opened)
        m_session.Line().Close();
    SetState(false, false);
    return opened;
}

void CCameraConnection::OpenThen(const LineOpening& opening, Intent intent, std::function<void(bool)> done)
{
    m_opener.reset();
    const auto carryOn = [this, intent, done = std::move(done)](const LineOpening& prepared) {
        done(intent == Intent::Probe ? Probe(prepared) : Open(prepared));
    };
    if (!IsNetworkName(opening.strDevice)) {
        carryOn(opening);
        return;
    }
    m_openerIntent = intent;
    m_opener = std::make_unique<CDeviceOpener>(opening, [this, opening, carryOn](std::shared_ptr<OpenedDevice> opened) {
        m_opener.release()->deleteLater(); // its thread has ended; it is still on the stack
        LineOpening prepared = opening;
        prepared.opened = std::move(opened);
        carryOn(prepared);
    });
}

std::optional<CCameraConnection::Intent> CCameraConnection::Connecting() const
{
    return m_opener ? std::optional(m_openerIntent) : std::nullopt;
}

void CCameraConnection::Close()
{
    m_opener.reset();
    m_session.Line().SignalStop();
    SetState(false, false);
}

void CCameraConnection::BeginWrite(const QString& what)
{
    if (m_lastGoodRead && !std::exchange(m_bBeforeKept, true))
        KeepRecord(*m_lastGoodRead, what, false);
    m_strAfterDue = what;
}

QString CCameraConnection::RecordPort() const
{
    const LineOpening& line = m_session.LastOpening();
    return BackupPortName(line.nNumber, line.strDevice);
}

void CCameraConnection::KeepRecord(const CameraSettings& settings, const QString& what, bool after)
{
    const BackupNote note{.strPort = RecordPort(),
                          .strWhat = what,
                          .bAfter = after,
                          .time = QDateTime::currentDateTime()};
    QString error;
    const QString path = WriteBackup(BackupsFolder(), settings, note, &error);
    if (!path.isEmpty())
        m_backupsWritten.append(path);
    else if (!std::exchange(m_bBackupWarned, true) && m_events.backupNotKept)
        m_events.backupNotKept(error);
}

void CCameraConnection::ReadCycle()
{
    m_bReplySeen = false;
    m_session.Sender().Then([this] { m_bReplySeen = false; });
    m_session.ReadCycle();
}
