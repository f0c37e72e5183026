#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

// Connects a TCP socket to host:port within `timeoutMs`, looking every
// 100 ms whether `interrupted` says to give up, so that Ctrl-C never waits
// on the network. The connected descriptor (non-blocking, for
// QTcpSocket::setSocketDescriptor), or -1 with *error in a person's words
// ("Connection refused", "Host not found", "no connection within 5 s",
// "interrupted").
qintptr ConnectWithin(const QString& host, quint16 port, int timeoutMs, const std::function<bool()>& interrupted,
                      QString* error);
