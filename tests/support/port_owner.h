#pragma once

#include "serial/line.h"

#include <QList>
#include <functional>

// Stands in for the session that owns a line: records every chunk the line
// hands it, its loss and its error reports, and can act inside the handler
// like the session does.
class PortOwner final {
public:
    struct Message {
        QByteArray bytes; // empty: the line was lost
        bool Lost() const { return bytes.isEmpty(); }
    };

    QList<Message> messages;
    std::function<void(const Message&)> onMessage;
    QList<CommErrorReport> reports;

    // Listens to the line and hears its error reports.
    void Listen(CLine& line);

    // What was received, in order.
    QByteArray ReceivedBytes() const;

private:
    void Record(const Message& message);
};
