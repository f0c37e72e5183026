#pragma once

#include <QString>
#include <optional>

// A camera behind a serial device server is named by the server's address:
// "rfc2217://HOST:PORT" (telnet with serial-port control: the tool sets the
// line) or "socket://HOST:PORT" (plain TCP: the server's own settings set
// the line). HOST is a name, an IPv4 address or [an IPv6 address].
struct NetworkAddress {
    enum class Kind { Rfc2217, RawTcp };
    Kind kind = Kind::Rfc2217;
    QString strHost;
    quint16 nPort = 0;
};

// Whether `name` is written as an address ("scheme://..."), whatever the
// scheme: such a name is never a device path.
bool IsNetworkName(const QString& name);

// The address `name` gives; nothing for a name that is not written as an
// address. For one that is but does not parse, nothing, with *error saying
// what is wrong and how an address is written (the caller names the address).
std::optional<NetworkAddress> ParseNetworkAddress(const QString& name, QString* error);

// A socket:// address: the server's own settings set the line, and no rate
// can be set from here.
bool RateSetByServer(const QString& name);
