#include "tests/support/port_owner.h"

#include "serial/port_message.h"

#include <QCoreApplication>

QByteArray PortOwner::ReceivedBytes() const
{
    QByteArray bytes;
    for (const Message& m : messages) {
        if (m.message == PortMessage::ReceiveChar)
            bytes.append(static_cast<char>(m.wParam));
    }
    return bytes;
}

bool PortOwner::event(QEvent* event)
{
    if (event->type() <= QEvent::User || event->type() > PortEventType(PortMessage::DeviceLost))
        return QObject::event(event);
    const auto* portEvent = static_cast<CPortMessageEvent*>(event);
    const Message message{portEvent->Message(), portEvent->WParam(), portEvent->LParam()};
    messages.append(message);
    if (onMessage)
        onMessage(message);
    return true;
}

void PortOwner::Listen(CSerialPort& port)
{
    port.SetErrorReporter([this](const CommErrorReport& report) { reports.append(report); });
}

void DeliverAsPort(QObject& owner, QByteArrayView bytes, unsigned portNumber)
{
    for (const char ch : bytes) {
        CPortMessageEvent event(PortMessage::ReceiveChar, static_cast<unsigned char>(ch), portNumber);
        QCoreApplication::sendEvent(&owner, &event);
    }
}
