// The main dialog's side of the camera link: a completed cycle, a failed
// read, and the timers.
#include "core/config/ini_file.h"
#include "core/config/com_ports.h"
#include "core/config/program_dir.h"
#include "gui/dialogs/message_box.h"
#include "core/firmware/package_reader.h"
#include "core/protocol/link_protocol.h"
#include "core/protocol/register_map.h"
#include "gui/main_window/link_texts.h"
#include "gui/main_window/main_dialog.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

#include <QLabel>

using namespace Qt::StringLiterals;

void CMyCorvixDlg::ParseConfiguration()
{
    // The session has parsed a whole cycle, every answer checked.
    m_bReadKept = true;
    m_lastRead = {PortName(m_line), QDateTime::currentDateTime()};
    // The camera has answered: the no-reply check after opening has nothing
    // left to find, and left running it could meet the moment a page's save
    // has just started a new cycle and report a read that did not fail.
    m_timers.KillTimer(kTimerNoReply);
    m_dlgPara.LoadFromRegisterImage();
    m_dlgOSD.LoadFromRegisterImage();
    m_settingsFiles.KeepImportShown(); // an import not yet saved is shown again
    const int language = ReadIniInt(ConfigIniPath(), u"PathInfo"_s, u"Language"_s, 0);
    m_host.WriteRegister(OsdLanguageForHost(language), kLanguageRegister);
    m_timers.KillTimer(kTimerClearLabel);
    m_timers.SetTimer(kTimerClearLabel, 5000);
    const QString device = m_ports.Device();
    SetStatusToolTip(LineTip(device, Port().LineEchoes(), Port().RoundTripMs()));
    m_settingsFiles.CheckReadBack();
}

void CMyCorvixDlg::OnReadFailed(const ReadFailure& failure)
{
    // Not a read: the pages keep what the last good cycle showed, and saves
    // are refused until a read succeeds, since the camera may no longer
    // hold what they show.
    if (UpgradeMode())
        return; // the run reads the camera back after its restart, and tells how that went

    m_timers.KillTimer(kTimerNoReply);
    const QString detail = ReadFailureDetail(failure);
    ShowTransientLabel(LoadString(Ids::ReadFailed)); // the label has room for this much; the box says which
    GetDlgItem(1072)->setToolTip(detail);
    const QString nextStep = ReadFailureNextStep(m_connection.RefusedByServer());
    if (MessageBoxOffering(LoadString(Ids::ReadFailed) + u'\n' + detail + u'\n' + nextStep,
                           LoadString(Ids::MessageCaption), LoadString(Ids::FindCamera)))
        FindCameraOnPort();
}

void CMyCorvixDlg::OnTimer(int id)
{
    if (m_restart.OnTimer(id) || m_reconnect.OnTimer(id))
        return;
    switch (id) {
    case kTimerNoReply:
        // A cycle under way tells its own failure, naming the register.
        if (!m_connection.ReplySeen() && !m_session.Reading()) {
            ShowTransientLabel(LoadString(Ids::ReadFailed));
            WarningFromTable(Ids::ReadFailed);
        }
        m_timers.KillTimer(kTimerNoReply);
        break;
    case kTimerClearLabel:
        m_timers.KillTimer(kTimerClearLabel);
        m_controls.Item<QLabel>(1072)->clear();
        GetDlgItem(1072)->setToolTip(QString());
        break;
    case kTimerSaveNoReply:
        m_timers.KillTimer(kTimerSaveNoReply);
        if (!m_connection.ReplySeen())
            WarningFromTable(Ids::NoResponse);
        break;
    default:
        break;
    }
}
