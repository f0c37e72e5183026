#pragma once

#include "serial/serial_port.h"

#include <QList>
#include <QObject>
#include <functional>

// Stands in for the dialog that owns a serial port: records every port
// message and error report it receives, and can act inside the handler like
// the dialog does.
class PortOwner final : public QObject {
public:
    struct Message {
        int message;
        unsigned wParam;
        unsigned lParam;
        bool operator==(const Message&) const = default;
    };

    QList<Message> messages;
    std::function<void(const Message&)> onMessage;
    QList<CommErrorReport> reports;

    // Hands the port's error reports to `reports`.
    void Listen(CSerialPort& port);

    // The received bytes (ReceiveChar messages) in order.
    QByteArray ReceivedBytes() const;

protected:
    bool event(QEvent* event) override;
};

// Hands `bytes` to `owner` at once, one ReceiveChar each, as a port's
// monitor thread does: what a camera could have said, without a camera.
void DeliverAsPort(QObject& owner, QByteArrayView bytes, unsigned portNumber = 1);
