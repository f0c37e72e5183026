#pragma once

#include "core/protocol/read_cycle.h"
#include "gui/main_window/link_view.h"
#include "gui/main_window/port_choice.h"
#include "gui/main_window/window_reconnect.h"
#include "gui/main_window/window_restart.h"
#include "gui/main_window/serial_settings.h"
#include "gui/main_window/settings_import_export.h"
#include "gui/main_window/window_search.h"
#include "gui/main_window/window_trace.h"
#include "gui/pages/osd/dlg_osd.h"
#include "gui/pages/page_host.h"
#include "gui/pages/para/dlg_para.h"
#include "gui/pages/upgrade/dlg_upgrade.h"
#include "session/camera_scan.h"
#include "session/camera_connection.h"
#include "gui/widgets/cool_tab_ctrl.h"
#include "gui/widgets/dialog_template.h"
#include "session/window_timers.h"

#include <QDialog>
#include <QHash>
#include <QPixmap>
#include <array>

class QComboBox;

// The program's only top-level window: serial settings, the port state, the
// tab control with the three pages, and the camera's connection they talk
// through (its session owns the line, the read cycle, the writes and the
// register image). The chosen port, the searches, the settings files and
// the trace are small classes beside it, reaching the window through slots.
class CMyCorvixDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCommandAbout = 16;
    // The window's timers, by their fixed numbers; the pages set some of them.
    static constexpr int kTimerNoReply = CPageHost::kTimerNoReply;
    static constexpr int kTimerClearLabel = CPageHost::kTimerClearLabel;
    static constexpr int kTimerSaveNoReply = CPageHost::kTimerSaveNoReply;
    static constexpr int kTimerReopen = CPageHost::kTimerReopen;
    static constexpr int kTimerReplug = CWindowReconnect::kTimerReplug; // a lost port looked for each second
    // The port list, then the lists of the line's settings.
    static constexpr std::array kLineLists = {1007, 1008, 1009, 1010, 1013};

    explicit CMyCorvixDlg(QWidget* parent = nullptr);
    ~CMyCorvixDlg() override;

    // Handlers, by control.
    void OnPortChange(int index);                 // list 1007
    // The chosen port and list 1007 (COM1..COM5, then the machine's ports no COMn opens).
    CPortChoice& Ports() { return m_ports; }
    void OnSettingChange(int listId, int index);  // lists 1008, 1009, 1010, 1013
    void OnOpenClosePort();                       // button 1016
    void OnSave();                                // button 1021
    void OnSysCommand(int command);               // 16 opens the about box
    // The context menu's settings files and trace.
    void OnExportSettings() { m_settingsFiles.Export(); } // what the last good read showed, as orvane-cli writes it
    void OnImportSettings() { m_settingsFiles.Import(); } // a settings file onto the two pages; nothing is sent
    void OnRestoreSettings() { m_settingsFiles.Restore(m_ports.RecordPort()); } // a kept record, as an import
    void OnTraceLine() { m_trace.Toggle(); } // starts the trace of the line to a chosen file, or stops it
    void OnStation(); // "生产线(&P)...": the window's port is closed, for the station may want it
    bool Tracing() const { return m_trace.Current() != nullptr; }
    void OnTimer(int id);
    // The restart trigger; mode 1 also closes the port once it is out and reopens it 12 s later.
    void RestartDevice(int mode) { m_restart.Restart(mode); }
    void ParseConfiguration();
    void OnReadFailed(const ReadFailure& failure);
    // The camera's rate searched for at the open port, after a read failed.
    void FindCameraOnPort() { m_search.AtOpenPort(); }
    // "查找相机(&F)...": every port searched; the camera chosen is opened.
    void OpenFindCameraDialog() { m_search.AtEveryPort(); }
    void OpenFoundCamera(const PortScanResult& found);
    const CCameraScan& Scan() const { return m_scan; }

    QWidget* GetDlgItem(int id) const { return m_controls.GetDlgItem(id); }
    CWindowTimers& Timers() { return m_timers; }
    // The link as the pages share it: its operations and state.
    CPageHost& Host() { return m_host; }
    CUpgradeRun& Upgrade() { return m_upgrade; }
    bool UpgradeMode() const { return m_upgrade.Running(); }
    bool TransferRunning() const { return m_upgrade.Exchange().TransferRunning(); }
    CCameraSession& Session() { return m_session; }
    CLine& Port() { return m_session.Line(); }
    CCoolTabCtrl& TabCtrl() { return m_TabCtrl; }
    CDlgPara& PagePara() { return m_dlgPara; }
    CDlgOSD& PageOsd() { return m_dlgOSD; }
    CDlgUpdate& PageUpdate() { return m_dlgUpdate; }
    const LineState& Line() const { return m_line; }
    const CReadCycle& ReadCycleState() const { return m_session.Cycle(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void OnInitDialog();
    // The opening the line settings and the chosen port make (the adapter's serial number is noted).
    LineOpening Opening();
    void ReportOpenFailure(int textId);
    void ShowOpened(bool reconnected = false); // the port opened: shown so, and read
    void ShowOpenFailed(int textId);             // nothing opened: shown closed, and why
    void ShowConnecting();                       // the status while a device server is connected
    void StartReading();
    void EndOpenState(const QString& status);
    void OnDeviceLost();
    void ShowPort(bool open); // the icon, and what the button offers
    void SetStatus(const QString& text);
    void ShowTransientLabel(const QString& text);
    void LockForUpgrade(bool locked);
    void EnableLinkButtons(bool enable);
    void ShowLinkState(); // the pages and save take input only while their values are the camera's
    QComboBox* List(int id) const;
    void SelectRate(int baud); // list 1008 and the line's rate, nothing reopened
    void SetStatusToolTip(const QString& tip); // the status text's: the device, then what the line does

    CTemplateControls m_controls;
    QPixmap m_hIcon;
    LineState m_line; // m_nPort, m_nBaud, m_cParity, m_nDataBits, m_nStopBits
    CPortChoice m_ports{{.list = [this] { return List(1007); },
                         .shown = [this](const QString& device) { SetStatusToolTip(device); },
                         .rate = [this](int baud) { SelectRate(baud); },
                         .chosen = [this](int index) { OnPortChange(index); }},
                        m_line};
    bool m_bReadKept = false;         // a read came whole: the registers hold what it showed
    bool m_bCloseAfterRun = false;    // closed mid-image: the window goes once the camera is released
    bool m_bUpgradeLocked = false;    // from an upgrade's trigger until the camera is released
    LastRead m_lastRead;
    QHash<int, int> m_takenSettings;  // the line-setting lists' indexes as last taken, by list
    QString m_strStatusTip;
    CSettingsImportExport m_settingsFiles;
    CWindowTrace m_trace;
    QPixmap m_hIconOpen;
    QPixmap m_hIconClosed;
    CCoolTabCtrl m_TabCtrl;
    // Made before the pages it is given to; it refers to the connection
    // below, which it uses only once it is made.
    CPageHost m_host;
    CDlgPara m_dlgPara;
    CDlgOSD m_dlgOSD;
    CDlgUpdate m_dlgUpdate;
    CWindowTimers m_timers;
    // Declared late, so destroyed early: the monitor thread and an image
    // transfer have stopped before anything they notify goes away. Every
    // write but the image's goes through its sender, paced on timers.
    CCameraConnection m_connection;
    CCameraSession& m_session = m_connection.Session();
    CUpgradeRun& m_upgrade = m_connection.Upgrade();
    CPacedSender& m_sender = m_session.Sender();
    CCameraScan m_scan{m_session};
    CWindowSearch m_search;
    CWindowRestart m_restart{m_host, m_timers,
                             {.portOpen = [this] { return m_connection.PortOpen(); },
                              .openClosePort = [this] { OnOpenClosePort(); },
                              .enablePortButton = [this](bool enable) { GetDlgItem(1016)->setEnabled(enable); },
                              .status = [this](const QString& text) { SetStatus(text); },
                              .log = [this](const QString& line) { m_dlgUpdate.AppendLog(line); }}};
    CWindowReconnect m_reconnect{m_ports, m_connection, m_timers,
                                 {.opening = [this] { return Opening(); },
                                  .reopened = [this] { ShowOpened(true); }}};
};
