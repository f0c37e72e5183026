#include "gui/station/station_dlg.h"

#include "core/config/com_ports.h"
#include "core/config/kept_log.h"
#include "core/config/network_address.h"
#include "core/protocol/line_rates.h"
#include "gui/dialogs/file_dialog.h"
#include "gui/dialogs/message_box.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "gui/station/station_slot.h"
#include "provision/provision_station.h"
#include "serial/port_access.h"
#include "serial/system_ports.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kSlotColumns = 4;

QString StationFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/orvane-config"_s;
}

QString Caption()
{
    return LoadString(Ids::StationCaption);
}

} // namespace

CStationDlg::CStationDlg(QWidget* parent)
    : QDialog(parent), m_lock(new QCheckBox(LoadString(Ids::StationLock), this)),
      m_start(new QPushButton(LoadString(Ids::StationStart), this)),
      m_stop(new QPushButton(LoadString(Ids::StationStop), this)), m_counters(new QLabel(this)),
      m_slotGrid(new QGridLayout), m_log(std::make_unique<CKeptLog>(StationFolder() + u"/station.log"_s))
{
    setWindowTitle(Caption());
    auto* layout = new QVBoxLayout(this);
    m_setup = MakeSetup();
    layout->addWidget(m_setup);

    auto* controls = new QHBoxLayout;
    controls->addWidget(m_lock);
    controls->addWidget(m_start);
    controls->addWidget(m_stop);
    controls->addStretch();
    QFont large = m_counters->font();
    large.setPointSize(large.pointSize() + 4);
    large.setBold(true);
    m_counters->setFont(large);
    controls->addWidget(m_counters);
    auto* reset = new QPushButton(LoadString(Ids::StationResetCounters), this);
    controls->addWidget(reset);
    layout->addLayout(controls);
    layout->addLayout(m_slotGrid);
    layout->addStretch();

    connect(m_lock, &QCheckBox::toggled, this, &CStationDlg::SetLocked);
    connect(m_start, &QPushButton::clicked, this, &CStationDlg::OnStart);
    connect(m_stop, &QPushButton::clicked, this, &CStationDlg::OnStop);
    connect(reset, &QPushButton::clicked, this, &CStationDlg::OnResetCounters);
    SetReport(StationFolder() + u"/station-%1.jsonl"_s.arg(QDate::currentDate().toString(u"yyyyMMdd"_s)));
    OnResetCounters();
    ShowRunning();
}

CStationDlg::~CStationDlg()
{
    if (m_station)
        CProvisionStation::Stop(); // its end waits for every camera to be released
}

QWidget* CStationDlg::MakeSetup()
{
    auto* setup = new QWidget(this);
    auto* grid = new QGridLayout(setup);
    grid->addWidget(new QLabel(LoadString(Ids::StationPorts), setup), 0, 0, 1, 3);
    m_ports = new QListWidget(setup);
    m_ports->setMaximumHeight(110);
    QStringList offered;
    for (const ComPort& com : ComPorts())
        offered.append(u"COM%1"_s.arg(com.nNumber));
    for (const SystemPort& port : SystemPorts())
        offered.append(port.strLocation);
    offered.removeDuplicates();
    for (const QString& port : offered) {
        auto* item = new QListWidgetItem(port, m_ports);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    grid->addWidget(m_ports, 1, 0, 1, 2);
    auto* add = new QPushButton(LoadString(Ids::StationAddPort), setup);
    connect(add, &QPushButton::clicked, this, &CStationDlg::OnAddPort);
    grid->addWidget(add, 1, 2, Qt::AlignTop);

    m_package = AddFileRow(grid, 2, Ids::StationPackage, u"All File(*.*)"_s);
    m_packageSummary = new QLabel(setup);
    grid->addWidget(m_packageSummary, 3, 1);
    m_settings = AddFileRow(grid, 4, Ids::StationSettings, u"JSON (*.json);;All File(*.*)"_s);
    m_settingsSummary = new QLabel(setup);
    grid->addWidget(m_settingsSummary, 5, 1);
    m_report = AddFileRow(grid, 6, Ids::StationReport, u"JSON Lines (*.jsonl);;All File(*.*)"_s);
    grid->addWidget(new QLabel(LoadString(Ids::StationBaud), setup), 7, 0);
    m_baud = new QComboBox(setup);
    for (const int rate : kLineRates)
        m_baud->addItem(QString::number(rate), rate);
    SetBaud(115200);
    grid->addWidget(m_baud, 7, 1, Qt::AlignLeft);
    connect(m_package, &QLineEdit::editingFinished, this, &CStationDlg::ShowSummaries);
    connect(m_settings, &QLineEdit::editingFinished, this, &CStationDlg::ShowSummaries);
    return setup;
}

QLineEdit* CStationDlg::AddFileRow(QGridLayout* grid, int row, int labelId, const QString& filter)
{
    QWidget* setup = grid->parentWidget();
    grid->addWidget(new QLabel(LoadString(labelId), setup), row, 0);
    auto* edit = new QLineEdit(setup);
    edit->setMinimumWidth(420);
    grid->addWidget(edit, row, 1);
    auto* browse = new QPushButton(LoadString(Ids::StationBrowse), setup);
    const bool isReport = labelId == Ids::StationReport;
    connect(browse, &QPushButton::clicked, this, [this, edit, filter, isReport] {
        const QString path = isReport ? GetAppendFileName(edit->text(), filter) : GetOpenFileName(edit->text(), filter);
        if (path.isEmpty())
            return;
        edit->setText(path);
        ShowSummaries();
    });
    grid->addWidget(browse, row, 2);
    return edit;
}

void CStationDlg::SetPorts(const QStringList& ports)
{
    for (const QString& port : ports) {
        const QList<QListWidgetItem*> found = m_ports->findItems(port, Qt::MatchExactly);
        QListWidgetItem* item = found.isEmpty() ? new QListWidgetItem(port, m_ports) : found.first();
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
}

void CStationDlg::SetPackage(const QString& path)
{
    m_package->setText(path);
    ShowSummaries();
}

void CStationDlg::SetSettings(const QString& path)
{
    m_settings->setText(path);
    ShowSummaries();
}

void CStationDlg::SetReport(const QString& path)
{
    m_report->setText(path);
}

void CStationDlg::SetBaud(int baud)
{
    m_baud->setCurrentIndex(m_baud->findData(baud));
}

void CStationDlg::SetLocked(bool locked)
{
    m_lock->setChecked(locked);
    ShowRunning();
}

void CStationDlg::OnAddPort()
{
    const std::optional<QString> port = AskText(LoadString(Ids::StationPortPrompt), Caption());
    if (!port || port->trimmed().isEmpty())
        return;
    if (const QString problem = PortNameProblem(port->trimmed()); !problem.isEmpty()) {
        MessageBox(LoadString(Ids::StationFileError).arg(port->trimmed(), problem), Caption(), MessageIcon::Warning);
        return;
    }
    SetPorts({port->trimmed()});
}

QStringList CStationDlg::TickedPorts() const
{
    QStringList ports;
    for (int i = 0; i < m_ports->count(); ++i) {
        if (m_ports->item(i)->checkState() == Qt::Checked)
            ports.append(m_ports->item(i)->text());
    }
    return ports;
}

void CStationDlg::ShowSummaries()
{
    // Each file on its own, so that one not chosen yet does not hide the other's.
    QString error;
    const std::optional<StationPlan>& package = m_packageFile.Read(m_package->text(), &error);
    m_packageSummary->setText(package ? package->strPackageSummary : error);
    const std::optional<StationPlan>& settings = m_settingsFile.Read(m_settings->text(), &error);
    m_settingsSummary->setText(settings ? settings->strSettingsSummary : error);
}

bool CStationDlg::PortsFree(const QStringList& ports) const
{
    for (const QString& port : ports) {
        const QString device = ResolvePort(port).strDevice;
        if (IsNetworkName(device))
            continue;
        // Another station (or any program) holding the port keeps it: two would write to one camera.
        if (const PortHolders held = HoldersOf(device); !held.holders.empty()) {
            MessageBox(LoadString(Ids::StationPortHeld).arg(port, HoldersText(held.holders)), Caption(),
                       MessageIcon::Warning);
            return false;
        }
    }
    return true;
}

void CStationDlg::OnStart()
{
    if (m_station)
        return;
    const QStringList ports = TickedPorts();
    if (ports.isEmpty()) {
        MessageBox(LoadString(Ids::StationNoPort), Caption(), MessageIcon::Warning);
        return;
    }
    ShowSummaries(); // a file changed since it was shown is read again, and shown
    QString error;
    const std::optional<StationPlan>& package = m_packageFile.Read(m_package->text(), &error);
    if (!package) {
        MessageBox(error, Caption(), MessageIcon::Warning);
        return;
    }
    const std::optional<StationPlan>& settings = m_settingsFile.Read(m_settings->text(), &error);
    if (!settings) {
        MessageBox(error, Caption(), MessageIcon::Warning);
        return;
    }
    if (!PortsFree(ports))
        return;

    ShowSlots(ports);
    const StationEvents events{
        .stage =
            [this](int port, const QString& stage) {
                m_slots[std::size_t(port)]->ShowStage(stage);
                Keep(m_runPorts[port], stage);
            },
        .progress = [this](int port, int percent, qint64) { m_slots[std::size_t(port)]->ShowProgress(percent); },
        .provisioned = [this](int port, const CameraRecord& record, int, int) { Provisioned(port, record); },
        .reportLost =
            [this](const QString& why) {
                MessageBox(LoadString(Ids::StationFileError).arg(m_report->text(), why), Caption(),
                           MessageIcon::Warning);
            },
        // Not from within the station's own call: it is let go here.
        .finished = [this] { QTimer::singleShot(0, this, &CStationDlg::Finished); },
    };
    CProvisionStation::ClearStop();
    m_runPorts = ports;
    m_station = std::make_unique<CProvisionStation>(
        ports, CombinedPlan(*package, *settings, m_baud->currentData().toInt()), true, events);
    QDir().mkpath(QFileInfo(m_report->text()).absolutePath());
    if (!m_station->OpenReport(m_report->text(), &error)) {
        m_station.reset();
        MessageBox(LoadString(Ids::StationFileError).arg(m_report->text(), error), Caption(), MessageIcon::Warning);
        return;
    }
    m_station->Start();
    ShowRunning();
}

void CStationDlg::OnStop()
{
    if (!m_station)
        return;
    CProvisionStation::Stop();
    m_stop->setEnabled(false);
    for (CStationSlot* slot : m_slots)
        slot->setToolTip(LoadString(Ids::StationReleasing));
}

void CStationDlg::OnResetCounters()
{
    m_nPassed = 0;
    m_nFailed = 0;
    m_counters->setText(CountersText());
}

QString CStationDlg::CountersText() const
{
    return LoadString(Ids::StationCounters).arg(m_nPassed).arg(m_nFailed);
}

QString CStationDlg::PackageSummary() const
{
    return m_packageSummary->text();
}

QString CStationDlg::SettingsSummary() const
{
    return m_settingsSummary->text();
}

void CStationDlg::ShowSlots(const QStringList& ports)
{
    for (CStationSlot* slot : m_slots)
        delete slot;
    m_slots.clear();
    for (int i = 0; i < ports.size(); ++i) {
        auto* slot = new CStationSlot(ports[i], this);
        m_slotGrid->addWidget(slot, i / kSlotColumns, i % kSlotColumns);
        m_slots.push_back(slot);
    }
}

void CStationDlg::Keep(const QString& port, const QString& text)
{
    QString error;
    m_log->Append(u"%1: %2"_s.arg(port, text), QDateTime::currentDateTime(), &error);
}

void CStationDlg::Provisioned(int port, const CameraRecord& record)
{
    m_slots[std::size_t(port)]->ShowResult(record);
    ++(record.bOk ? m_nPassed : m_nFailed);
    m_counters->setText(CountersText());
    Keep(m_runPorts[port], record.bOk ? u"passed"_s : u"FAILED: "_s + record.strFailure);
    if (!record.bOk)
        QApplication::beep(); // the operator may be looking at the next camera
}

void CStationDlg::Finished()
{
    QString why;
    if (m_station && !m_station->Close(&why))
        MessageBox(LoadString(Ids::StationFileError).arg(m_report->text(), why), Caption(), MessageIcon::Warning);
    m_station.reset();
    CProvisionStation::ClearStop();
    ShowRunning();
    if (m_bCloseWhenStopped)
        close();
}

void CStationDlg::ShowRunning()
{
    const bool running = m_station != nullptr;
    m_setup->setEnabled(!running && !m_lock->isChecked());
    m_start->setEnabled(!running);
    m_stop->setEnabled(running);
}

void CStationDlg::closeEvent(QCloseEvent* event)
{
    if (!m_station) {
        event->accept();
        return;
    }
    event->ignore();
    if (m_bCloseWhenStopped || AskYesNo(LoadString(Ids::StationAskClose), Caption())) {
        m_bCloseWhenStopped = true; // once every camera is released
        OnStop();
    }
}

void CStationDlg::reject()
{
    if (m_station)
        close();
    else
        QDialog::reject();
}

void OpenStation(QWidget* parent)
{
    CStationDlg station(parent);
    station.exec();
}
