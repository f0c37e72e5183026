#include "gui/main_window/port_list.h"

#include "core/config/user_settings.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>

using namespace Qt::StringLiterals;

namespace {

class COpeningFilter final : public QObject {
public:
    COpeningFilter(QComboBox* list, std::function<void()> refresh) : QObject(list), m_refresh(std::move(refresh)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress) {
            m_refresh();
        } else if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool alt = key->modifiers() & Qt::AltModifier;
            if (key->key() == Qt::Key_F4 || key->key() == Qt::Key_Space
                || (alt && (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up)))
                m_refresh();
        }
        return false; // the list opens as it would have
    }

private:
    std::function<void()> m_refresh;
};

} // namespace

void FillPortList(QComboBox* list, const QList<SystemPort>& extra, const QString& keepDevice)
{
    const QSignalBlocker quiet(list);
    while (list->count() > kListedComPorts)
        list->removeItem(list->count() - 1);
    int width = 0;
    bool kept = keepDevice.isEmpty();
    for (const SystemPort& port : extra) {
        list->addItem(PortLabel(port), port.strLocation);
        list->setItemData(list->count() - 1, port.strLocation, Qt::ToolTipRole);
        width = std::max(width, list->fontMetrics().horizontalAdvance(PortLabel(port)));
        kept = kept || port.strLocation == keepDevice;
    }
    if (!kept) { // the chosen adapter is gone for now: it stays chosen
        list->addItem(keepDevice, keepDevice);
        list->setItemData(list->count() - 1, keepDevice, Qt::ToolTipRole);
    }
    if (!keepDevice.isEmpty())
        list->setCurrentIndex(list->findData(keepDevice));
    list->view()->setMinimumWidth(width + 40);
}

QString DeviceOfEntry(const QComboBox* list, int index)
{
    return index < kListedComPorts ? QString() : list->itemData(index).toString();
}

QStringList DevicesOfEntries(const QComboBox* list)
{
    QStringList devices;
    for (int index = 0; index < list->count(); ++index)
        devices << DeviceOfEntry(list, index);
    return devices;
}

void RefreshBeforeOpening(QComboBox* list, std::function<void()> refresh)
{
    auto* filter = new COpeningFilter(list, std::move(refresh));
    list->installEventFilter(filter);
}

QString RememberedPort()
{
    return UserSettings().value(u"port"_s).toString();
}

void RememberPort(const QString& port)
{
    UserSettings().setValue(u"port"_s, port);
}

QStringList RememberedNetworkPorts()
{
    return UserSettings().value(u"networkPorts"_s).toStringList();
}

void RememberNetworkPort(const QString& address)
{
    QStringList addresses = RememberedNetworkPorts();
    if (addresses.contains(address))
        return;
    addresses.append(address);
    UserSettings().setValue(u"networkPorts"_s, addresses);
}

// One map, not a key per port: a device path's slashes would make groups of it.
int RememberedRate(const QString& port)
{
    return UserSettings().value(u"rates"_s).toMap().value(port).toInt();
}

void RememberRate(const QString& port, int baud)
{
    QSettings settings = UserSettings();
    QVariantMap rates = settings.value(u"rates"_s).toMap();
    rates[port] = baud;
    settings.setValue(u"rates"_s, rates);
}
