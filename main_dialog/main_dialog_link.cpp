// The main dialog's side of the camera link: the read cycle, the write path,
// restarts, the parse of a completed cycle, and the timers.
#include "common/ini_file.h"
#include "common/program_dir.h"
#include "link/link_protocol.h"
#include "link/main_dialog.h"
#include "link/register_map.h"
#include "res/resource_module.h"
#include "res/string_ids.h"

#include <QLabel>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

constexpr int kReadPauseMs = 10;  // before each further read request
constexpr int kWritePauseMs = 20; // after each write command
constexpr int kRestartRegister = 0xFFFF;
constexpr int kLanguageRegister = 0xF9;

void SendRead(CSerialPort& port)
{
    port.QueueWrite(FormatReadCommand(ReadList[g_nReadIndex]));
    ++g_nReadIndex;
}

} // namespace

void CMyCorvixDlg::ReadCycle()
{
    m_bReplySeen = 0;
    g_nReadIndex = 0;
    g_strReply.clear();
    g_nReplyChars = 0;
    SendRead(m_Port);
}

void CMyCorvixDlg::OnReceiveChar(unsigned ch, unsigned /*portNumber*/)
{
    // Characters are served from every port number, COM5 included.
    m_bReplySeen = 1;
    if (m_bUpgradeMode) {
        OnUpgradeChar(ch);
        return;
    }
    g_strReply.append(static_cast<char>(ch));
    ++g_nReplyChars;
    if (g_nReplyChars % 4 != 0)
        return;

    if (g_nReadIndex < 0) {
        // No cycle was started (the port is monitored without the open
        // button): the group has no register to belong to and is dropped.
        g_strReply.clear();
        g_nReplyChars = 0;
    } else if (g_nReadIndex >= kReadListSize) {
        ParseConfiguration();
        m_timers.KillTimer(kTimerClearLabel);
        m_timers.SetTimer(kTimerClearLabel, 5000);
        g_strReply.clear();
        g_nReplyChars = 0;
    } else {
        QThread::msleep(kReadPauseMs);
        SendRead(m_Port);
    }
}

int CMyCorvixDlg::WriteRegister(int value, int reg)
{
    if (!m_bPortOpen || !m_bConfigRead)
        return 0;
    m_Port.QueueWrite(FormatWriteCommand(value, reg));
    QThread::msleep(kWritePauseMs);
    return 0;
}

int CMyCorvixDlg::RestartDevice(int mode)
{
    if (!m_bPortOpen) {
        MessageFromTable(Ids::PortNotReady);
        return -1;
    }
    WriteRegister(0, kRestartRegister);
    WriteRegister(1, kRestartRegister);
    if (mode != 0) {
        OnOpenClosePort(); // closes, since the port is open
        GetDlgItem(1016)->setEnabled(false);
        m_timers.SetTimer(kTimerReopen, 12000);
    } else {
        m_dlgUpdate.AppendLog(LoadString(Ids::LogTrigger));
        m_bUpgradeMode = 1;
        m_timers.SetTimer(kTimerUpgradeRequest, 1000);
    }
    return 0;
}

int CMyCorvixDlg::ParseConfiguration()
{
    unsigned char bytes[512];
    const int count = HexToBytes(g_strReply, bytes, sizeof bytes);
    StoreConfiguration(bytes, count); // a wrong count keeps the previous image
    m_bConfigRead = 1;
    m_dlgPara.LoadFromRegisterImage();
    m_dlgOSD.LoadFromRegisterImage();
    // The camera's OSD language follows the host's: Language 0 (the Chinese
    // language library) asks for Chinese, anything else for English.
    const int language = ReadIniInt(ConfigIniPath(), u"PathInfo"_s, u"Language"_s, 0);
    WriteRegister(language == 0 ? 1 : 0, kLanguageRegister);
    return 0;
}

void CMyCorvixDlg::OnUpgradeChar(unsigned /*ch*/)
{
    // Still to come with the upgrade transfer: 'A', 'S', 'D' and the error
    // reports. Until then characters received in upgrade mode are dropped.
}

void CMyCorvixDlg::OnTimer(int id)
{
    switch (id) {
    case kTimerUpgradeRequest:
        m_Port.QueueWrite("*****");
        if (++m_nUpgradeTries > 3) {
            m_dlgUpdate.AppendLog(LoadString(Ids::LogRequestFailed));
            m_timers.KillTimer(kTimerUpgradeRequest);
            m_nUpgradeTries = 0;
            m_bUpgradeMode = 0;
            m_dlgUpdate.GetDlgItem(1058)->setEnabled(true);
            m_dlgUpdate.GetDlgItem(1054)->setEnabled(true);
            GetDlgItem(1007)->setEnabled(true);
        } else {
            m_dlgUpdate.AppendLog(LoadString(Ids::LogRequest));
        }
        break;
    case kTimerNoReply:
        if (!m_bReplySeen) {
            ShowTransientLabel(LoadString(Ids::ReadFailed));
            MessageFromTable(Ids::ReadFailed);
            m_bConfigRead = 1;
        }
        m_timers.KillTimer(kTimerNoReply);
        break;
    case kTimerClearLabel:
        m_timers.KillTimer(kTimerClearLabel);
        m_controls.Item<QLabel>(1072)->clear();
        break;
    case kTimerSaveNoReply:
        m_timers.KillTimer(kTimerSaveNoReply);
        if (!m_bReplySeen)
            MessageFromTable(Ids::NoResponse);
        break;
    case kTimerReopen:
        m_timers.KillTimer(kTimerReopen);
        OnOpenClosePort(); // reopens and reads the configuration again
        GetDlgItem(1016)->setEnabled(true);
        break;
    case kTimerAfterTransfer:
        m_timers.KillTimer(kTimerAfterTransfer);
        break;
    default:
        break;
    }
}
