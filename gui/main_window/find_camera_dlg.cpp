#include "gui/main_window/find_camera_dlg.h"

#include "core/config/printable_text.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kFoundRole = Qt::UserRole; // index into m_found; absent for a port without a camera
constexpr int kPortsFreePollMs = 10;

} // namespace

CFindCameraDlg::CFindCameraDlg(std::vector<PortToScan> ports, int currentBaud, std::function<bool()> portsFree,
                               std::shared_ptr<CLineTrace> trace, QWidget* parent)
    : QDialog(parent), m_ports(std::move(ports)), m_nCurrentBaud(currentBaud), m_portsFree(std::move(portsFree))
{
    m_scan.SetTrace(std::move(trace));
    setWindowTitle(LoadString(Ids::FindCamera));
    auto* layout = new QVBoxLayout(this);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("foundPorts"));
    m_list->setMinimumWidth(420);
    m_progress = new QProgressBar(this);
    auto* buttons = new QDialogButtonBox(this);
    m_open = buttons->addButton(LoadString(Ids::OpenPort), QDialogButtonBox::AcceptRole);
    m_open->setEnabled(false);
    buttons->addButton(LoadString(Ids::CloseButton), QDialogButtonBox::RejectRole);
    layout->addWidget(m_list);
    layout->addWidget(m_progress);
    layout->addWidget(buttons);
    connect(m_open, &QPushButton::clicked, this, &CFindCameraDlg::OnOpen);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        m_open->setEnabled(row >= 0 && m_list->item(row)->data(kFoundRole).isValid());
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { OnOpen(); });

    m_waitForPorts.setInterval(kPortsFreePollMs);
    connect(&m_waitForPorts, &QTimer::timeout, this, [this] {
        if (m_portsFree())
            StartScan();
    });
    if (m_portsFree())
        StartScan();
    else
        m_waitForPorts.start();
}

void CFindCameraDlg::StartScan()
{
    m_waitForPorts.stop();
    m_scan.Start(m_ports, m_nCurrentBaud,
                 {[this](const PortScanResult& result) { OnPortDone(result); },
                  [this] { m_progress->setValue(m_scan.TriesBegun()); },
                  [this] { m_progress->setValue(m_progress->maximum()); }});
    // Set once the ports are known: a device the list names twice is searched once.
    m_progress->setRange(0, m_scan.TriesInAll());
    m_progress->setValue(m_scan.TriesBegun());
}

CFindCameraDlg::~CFindCameraDlg() = default;

QString CFindCameraDlg::ResultText(const PortScanResult& result)
{
    const QString port = PrintableName(result.port.strName);
    if (const std::optional<ScanFinding>& found = result.finding) {
        const QString text = LoadString(Ids::ScanFound)
                                 .arg(port)
                                 .arg(found->nBaud)
                                 .arg(found->versions.strSoftware, found->versions.strHardware);
        return text + (found->bEcho ? LoadString(Ids::ScanEchoes) : QString())
               + (found->unusual.isEmpty() ? QString() : LoadString(Ids::ScanUnusual));
    }
    if (result.openError)
        return LoadString(Ids::ScanCannotOpen).arg(port, result.openError->strSystemText);
    if (result.bLost)
        return LoadString(Ids::ScanPortLost).arg(port);
    return LoadString(Ids::ScanNothing).arg(port);
}

void CFindCameraDlg::OnPortDone(const PortScanResult& result)
{
    auto* item = new QListWidgetItem(ResultText(result));
    if (result.finding) {
        item->setData(kFoundRole, static_cast<int>(m_found.size()));
        m_found.push_back(result);
        // Found cameras lead the list, in the order they were found.
        m_list->insertItem(static_cast<int>(m_found.size()) - 1, item);
        const QListWidgetItem* current = m_list->currentItem();
        if (!current || !current->data(kFoundRole).isValid())
            m_list->setCurrentItem(item); // the first camera found is the one offered
    } else {
        m_list->addItem(item);
    }
    m_progress->setValue(m_scan.TriesBegun());
}

void CFindCameraDlg::OnOpen()
{
    const QListWidgetItem* item = m_list->currentItem();
    if (!item || !item->data(kFoundRole).isValid())
        return;
    m_chosen = m_found[static_cast<std::size_t>(item->data(kFoundRole).toInt())];
    accept();
}

void CFindCameraDlg::done(int result)
{
    m_waitForPorts.stop();
    m_scan.Stop(); // at once: the ports are closed before the window opens one
    QDialog::done(result);
}
