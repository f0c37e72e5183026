#include "tests/support/port_owner.h"

QByteArray PortOwner::ReceivedBytes() const
{
    QByteArray bytes;
    for (const Message& m : messages)
        bytes.append(m.bytes);
    return bytes;
}

void PortOwner::Listen(CLine& line)
{
    line.SetListener({.received = [this](const QByteArray& chunk) { Record({chunk}); },
                      .lost = [this] { Record({}); }});
    line.SetErrorReporter([this](const CommErrorReport& report) { reports.append(report); });
}

void PortOwner::Record(const Message& message)
{
    messages.append(message);
    if (onMessage)
        onMessage(message);
}
