#include "core/config/network_address.h"

#include <QRegularExpression>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString kForm = u"write rfc2217://HOST:PORT or socket://HOST:PORT"_s;

// A name, or an IPv4 address: one of only digits and dots is read as an address.
bool ValidHostName(const QString& host)
{
    static const QRegularExpression numeric(u"^[0-9.]+\\z"_s);
    if (numeric.match(host).hasMatch()) {
        const QStringList parts = host.split(u'.');
        return parts.size() == 4 && std::all_of(parts.begin(), parts.end(), [](const QString& part) {
                   return !part.isEmpty() && part.size() <= 3 && part.toUInt() <= 255;
               });
    }
    static const QRegularExpression name(u"^[A-Za-z0-9]([A-Za-z0-9-]{0,62})(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,62}))*\\.?\\z"_s);
    return host.size() <= 253 && name.match(host).hasMatch();
}

// Eight groups of one to four hex digits, or fewer with one "::" for the rest.
bool ValidIpv6(const QString& host)
{
    const qsizetype gap = host.indexOf(u"::"_s);
    if (gap >= 0 && host.indexOf(u"::"_s, gap + 1) >= 0)
        return false;
    static const QRegularExpression group(u"^[0-9A-Fa-f]{1,4}\\z"_s);
    const auto groups = [&](const QString& part) {
        if (part.isEmpty())
            return 0;
        const QStringList all = part.split(u':');
        return std::all_of(all.begin(), all.end(), [&](const QString& g) { return group.match(g).hasMatch(); })
                   ? int(all.size())
                   : 99;
    };
    if (gap < 0)
        return groups(host) == 8;
    return groups(host.left(gap)) + groups(host.mid(gap + 2)) <= 7;
}

} // namespace

bool IsNetworkName(const QString& name)
{
    return name.contains(u"://"_s);
}

std::optional<NetworkAddress> ParseNetworkAddress(const QString& name, QString* error)
{
    if (!IsNetworkName(name))
        return std::nullopt;
    const qsizetype schemeEnd = name.indexOf(u"://"_s);
    const QString scheme = name.left(schemeEnd).toLower();
    const QString rest = name.mid(schemeEnd + 3);
    const auto refuse = [&](const QString& what) {
        *error = u"%1; %2"_s.arg(what, kForm);
        return std::nullopt;
    };
    const bool unprintable = std::any_of(name.begin(), name.end(), [](QChar c) { return c.isSpace() || !c.isPrint(); });
    if (unprintable)
        return refuse(u"a space, a line break or another character no address has"_s);
    NetworkAddress address;
    if (scheme == u"rfc2217")
        address.kind = NetworkAddress::Kind::Rfc2217;
    else if (scheme == u"socket")
        address.kind = NetworkAddress::Kind::RawTcp;
    else
        return refuse(u"unknown kind of address \"%1://\""_s.arg(scheme));

    // [v6]:port or host:port; nothing after the port.
    QString host;
    QString port;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            return refuse(u"no \"]\" after the IPv6 address"_s);
        host = rest.mid(1, close - 1);
        if (rest.mid(close + 1, 1) != u":")
            return refuse(u"no port after the address"_s);
        port = rest.mid(close + 2);
        if (!ValidIpv6(host))
            return refuse(u"\"%1\" is not an IPv6 address"_s.arg(host));
    } else {
        const qsizetype colon = rest.lastIndexOf(u':');
        if (colon < 0)
            return refuse(u"no port"_s);
        host = rest.left(colon);
        port = rest.mid(colon + 1);
        if (host.isEmpty())
            return refuse(u"no host"_s);
        if (!ValidHostName(host))
            return refuse(u"\"%1\" is not a host name or an IPv4 address"_s.arg(host));
    }
    static const QRegularExpression digits(u"^[0-9]{1,5}\\z"_s);
    const uint number = port.toUInt();
    if (!digits.match(port).hasMatch() || number < 1 || number > 65535)
        return refuse(port.isEmpty() ? u"no port"_s : u"port \"%1\" is not a number from 1 to 65535"_s.arg(port));
    address.strHost = host;
    address.nPort = quint16(number);
    return address;
}

bool RateSetByServer(const QString& name)
{
    QString error;
    const std::optional<NetworkAddress> address = ParseNetworkAddress(name, &error);
    return address && address->kind == NetworkAddress::Kind::RawTcp;
}
