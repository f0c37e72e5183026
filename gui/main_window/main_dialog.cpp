#include "gui/main_window/main_dialog.h"

#include "gui/dialogs/message_box.h"
#include "gui/main_window/about_dlg.h"
#include "gui/main_window/link_texts.h"
#include "gui/main_window/main_tabs.h"
#include "gui/main_window/port_list.h"
#include "gui/main_window/selection_only_list.h"
#include "gui/main_window/window_menu.h"
#include "gui/station/station_dlg.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "core/config/com_ports.h"
#include "core/protocol/line_rates.h"
#include "core/protocol/link_protocol.h"
#include "serial/line_trace.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace Qt::StringLiterals;

CMyCorvixDlg::CMyCorvixDlg(QWidget* parent)
    : QDialog(parent),
      m_hIcon(ResourceModule::Current().Icon(Ids::IconProgram)),
      m_settingsFiles({.lastRead = [this]() -> std::optional<CameraSettings> {
                           return m_bReadKept ? std::optional(SettingsOfRegisters(m_session.Registers().data()))
                                              : std::nullopt;
                       },
                       .shown = [this] { return CameraSettings{m_dlgPara.ShownSettings(), m_dlgOSD.ShownLanguage()}; },
                       .show =
                           [this](const CameraSettings& settings) {
                               m_dlgPara.ShowSettings(settings.image);
                               m_dlgOSD.ShowLanguage(settings.nOsdLanguage);
                           },
                       .say = [this](const QString& text) { ShowTransientLabel(text); },
                       .log = [this](const QString& line) { m_dlgUpdate.AppendLog(line + u'\n'); },
                       .save = [this] { m_host.AfterWrites([this] { OnSave(); }); }}),
      m_trace({.attach = [this](const std::shared_ptr<CLineTrace>& trace) { m_connection.SetTrace(trace); },
               .changed = [this] { SetStatusToolTip(m_strStatusTip); }}),
      m_TabCtrl(this),
      m_host(m_connection, m_timers),
      m_dlgPara(m_host, &m_TabCtrl),
      m_dlgOSD(m_host, &m_TabCtrl),
      m_dlgUpdate(m_host, &m_TabCtrl),
      m_timers([this](int id) { OnTimer(id); }, this),
      m_connection({.configurationRead = [this] { m_ports.RememberRate(m_line.nBaud); ParseConfiguration(); },
                    .readFailed = [this](const ReadFailure& failure) { OnReadFailed(failure); },
                    .lost = [this] { OnDeviceLost(); },
                    .changed = [this] { ShowLinkState(); },
                    .backupNotKept = [](const QString& why) { CPageHost::SayBackupNotKept(why); }}),
      m_search(m_scan, this,
               {.portOpen = [this] { return m_connection.PortOpen(); },
                .upgrading = [this] { return UpgradeMode(); },
                .rate = [this] { return m_line.nBaud; },
                .say = [this](const QString& text) { ShowTransientLabel(text); },
                .searchBegins = [this] { m_timers.KillTimer(kTimerNoReply); },
                .readAt =
                    [this](int baud) {
                        SelectRate(baud);
                        SetStatus(OpenStatusText(m_line, LoadString(Ids::StateOpen)));
                        StartReading();
                    },
                .releasePort =
                    [this] {
                        m_ports.ForgetLoss(); // the search decides now, not a reconnect
                        if (m_connection.PortOpen() || m_connection.Connecting())
                            EndOpenState(LoadString(Ids::PortClosed));
                        m_ports.Refresh();
                    },
                .ports = [this] { return PortsToScan(DevicesOfEntries(List(1007))); },
                .portsFree = [this] { return m_connection.Line().DevicesReleased(); },
                .open = [this](const PortScanResult& found) { OpenFoundCamera(found); },
                .trace = [this] { return m_trace.Current(); }})
{
    m_host.SetHooks({[this](int mode) { RestartDevice(mode); },
                     [this](bool locked) { LockForUpgrade(locked); },
                     [this](bool enable) { EnableLinkButtons(enable); },
                     [this] { return m_dlgPara.Exposure(); },
                     [this] {
                         m_settingsFiles.OnSaved(false);
                         ShowTransientLabel(LoadString(Ids::ConfigSaved)); // the image page's own save
                     },
                     [this](const QDateTime& began) {
                         // Once the read that verified the camera has reached the window too.
                         QTimer::singleShot(0, this, [this, began] {
                             m_settingsFiles.OfferRestoreAfterRecovery(m_connection.RecordPort(), began);
                         });
                     }});
    // The line's errors as the "Application Error" box, naming the step, the OS's words and the port.
    m_connection.SetErrorReporter(
        [](const CommErrorReport& report) { MessageBox(CommErrorText(report), u"Application Error"_s, MessageIcon::Stop); });
    setWindowTitle(m_controls.Build(this, Ids::DialogMain));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    OnInitDialog();
}

CMyCorvixDlg::~CMyCorvixDlg()
{
    m_trace.Stop(); // what is queued is written before the window goes
}

void CMyCorvixDlg::OnInitDialog()
{
    // The about command lives in the context menu (contextMenuEvent): window
    // systems here offer no system menu to the program.
    setWindowIcon(m_hIcon);

    List(1007)->setCurrentIndex(0);
    List(1008)->setCurrentIndex(11);
    List(1009)->setCurrentIndex(0);
    List(1010)->setCurrentIndex(0);
    List(1013)->setCurrentIndex(1);
    for (const int id : {1008, 1009, 1010, 1013})
        m_takenSettings[id] = List(id)->currentIndex();
    m_line = LineState{};

    m_hIconOpen = ResourceModule::Current().Icon(Ids::IconPortOpen);
    m_hIconClosed = ResourceModule::Current().Icon(Ids::IconPortClosed);

    SetUpMainTabs(m_TabCtrl, GetDlgItem(1001)->geometry(), &m_dlgPara, &m_dlgOSD, &m_dlgUpdate);

    for (const int id : {1007, 1008})
        MakeSelectionOnly(List(id));
    m_ports.Refresh();
    m_ports.Restore();
    RefreshBeforeOpening(List(1007), [this] { m_ports.Refresh(); });
    m_ports.ShowDevices();
    connect(List(1007), &QComboBox::activated, this, &CMyCorvixDlg::OnPortChange);
    for (const int id : {1008, 1009, 1010, 1013})
        connect(List(id), &QComboBox::activated, this, [this, id](int index) { OnSettingChange(id, index); });
    connect(qobject_cast<QPushButton*>(GetDlgItem(1016)), &QPushButton::clicked, this, &CMyCorvixDlg::OnOpenClosePort);
    connect(qobject_cast<QPushButton*>(GetDlgItem(1021)), &QPushButton::clicked, this, &CMyCorvixDlg::OnSave);
    ShowLinkState();
}

void CMyCorvixDlg::LockForUpgrade(bool locked)
{
    m_bUpgradeLocked = locked;
    for (const int id : kLineLists)
        GetDlgItem(id)->setEnabled(!locked);
    ShowLinkState();
    if (!locked && m_bCloseAfterRun)
        QTimer::singleShot(0, this, [this] { close(); });
}

void CMyCorvixDlg::EnableLinkButtons(bool enable)
{
    GetDlgItem(1016)->setEnabled(enable);
    ShowLinkState();
}

void CMyCorvixDlg::ShowLinkState()
{
    const LinkView view = ViewOfLink(m_connection.PortOpen(), m_connection.ConfigRead(), m_lastRead);
    // A disabled page takes no click and no menu key; its own disabled controls stay so.
    const bool usable = view.bValuesCurrent && !m_bUpgradeLocked;
    m_dlgPara.setEnabled(usable);
    m_dlgOSD.setEnabled(usable);
    GetDlgItem(1021)->setEnabled(usable && !UpgradeMode() && !TransferRunning());
    m_dlgUpdate.ShowPortOpen(m_connection.PortOpen());
    for (QWidget* control : {static_cast<QWidget*>(&m_dlgPara), static_cast<QWidget*>(&m_dlgOSD), GetDlgItem(1021)})
        control->setToolTip(view.strWhy);
}

void CMyCorvixDlg::OnSave()
{
    if (!m_host.ReadyForSettings()) {
        m_host.SayNotReady();
        return;
    }
    m_dlgPara.SaveToDevice();
    m_dlgOSD.SaveToDevice();
    if (m_settingsFiles.ImportWaiting()) {
        // An imported file is read back, so that what the camera did not take is named.
        m_settingsFiles.OnSaved(true);
        m_host.PauseWrites(kReadBackPauseMs);
        m_host.ReadCycle();
    }
    ShowTransientLabel(LoadString(Ids::ConfigSaved));
}

void CMyCorvixDlg::SelectRate(int baud)
{
    const auto rate = std::find(kLineRates.begin(), kLineRates.end(), baud);
    if (rate == kLineRates.end())
        return;
    List(1008)->setCurrentIndex(static_cast<int>(rate - kLineRates.begin()));
    m_takenSettings[1008] = List(1008)->currentIndex();
    m_line.nBaud = baud;
}

void CMyCorvixDlg::OpenFoundCamera(const PortScanResult& found)
{
    const int index = m_ports.EntryOf(found.port);
    if (index < 0)
        return;
    List(1007)->setCurrentIndex(index);
    OnPortChange(index);
    SelectRate(found.finding->nBaud); // over the rate remembered for the port
    if (!m_connection.PortOpen())
        OnOpenClosePort(); // opens at the rate found and reads the camera
}

void CMyCorvixDlg::OnStation()
{
    if (m_connection.PortOpen())
        OnOpenClosePort();
    OpenStation(this);
}

void CMyCorvixDlg::OnSysCommand(int command)
{
    if ((command & ~0xF) == kCommandAbout)
        CAboutDlg(this).exec();
}

void CMyCorvixDlg::contextMenuEvent(QContextMenuEvent* event)
{
    ShowWindowMenu(this, event->globalPos(),
                   {.findCamera = [this] { OpenFindCameraDialog(); },
                    .bFindEnabled = !UpgradeMode(),
                    .exportSettings = [this] { OnExportSettings(); },
                    .importSettings = [this] { OnImportSettings(); },
                    .restoreSettings = [this] { OnRestoreSettings(); },
                    .traceLine = [this] { OnTraceLine(); },
                    .bTracing = Tracing(),
                    .networkPort = [this] { m_ports.AddNetworkPort(); },
                    .station = [this] { OnStation(); },
                    .bStationEnabled = !UpgradeMode(),
                    .about = [this] { OnSysCommand(kCommandAbout); }});
}

void CMyCorvixDlg::keyPressEvent(QKeyEvent* event)
{
    // Escape would reject the dialog and end the program; only the window's
    // close button ends it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMyCorvixDlg::closeEvent(QCloseEvent* event)
{
    // Cut short, an upgrade may leave the camera without working firmware.
    // Closed again while the image is completed, the window goes at once.
    if (UpgradeMode() && !m_bCloseAfterRun) {
        if (!AskYesNo(LoadString(Ids::AskCloseDuringUpgrade), LoadString(Ids::MessageCaption))) {
            event->ignore();
            return;
        }
        // Stopped mid-image the camera would take what follows as image
        // data and answer nothing: it gets the rest as filler it refuses,
        // answers, and is released; the window goes then.
        if (m_upgrade.Abandon()) {
            m_bCloseAfterRun = true;
            m_dlgUpdate.AppendLog(LoadString(Ids::LogClosingAfterImage));
            event->ignore();
            return;
        }
    }
    m_sender.Cancel(); // nothing queued goes out after the window closed
    m_scan.Stop();
    // A camera that answered a request is released; in the middle of an
    // image an "R" would be taken as image data.
    m_upgrade.Stop(!TransferRunning());
    if (m_connection.PortOpen())
        m_connection.Close();
    QDialog::closeEvent(event);
}

