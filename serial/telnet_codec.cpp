#include "serial/telnet_codec.h"

#include <initializer_list>
#include <utility>

namespace {

QByteArray Bytes(std::initializer_list<unsigned char> bytes)
{
    QByteArray array;
    for (const unsigned char byte : bytes)
        array += char(byte);
    return array;
}

QByteArray Command(unsigned char verb, unsigned char option)
{
    return Bytes({CTelnetCodec::kIac, verb, option});
}

} // namespace

bool CTelnetCodec::Wanted(unsigned char option)
{
    return option == kComPort || option == kBinary || option == kSuppressGoAhead;
}

QByteArray CTelnetCodec::Opening()
{
    QByteArray opening;
    for (const unsigned char option : {kComPort, kBinary}) {
        m_us[option].bAsked = true;
        opening += Command(kWill, option);
    }
    for (const unsigned char option : {kBinary, kSuppressGoAhead}) {
        m_him[option].bAsked = true;
        opening += Command(kDo, option);
    }
    return opening;
}

QByteArray CTelnetCodec::Escape(const QByteArray& data)
{
    QByteArray escaped;
    escaped.reserve(data.size() + data.count(char(kIac)));
    for (const char byte : data) {
        escaped += byte;
        if (static_cast<unsigned char>(byte) == kIac)
            escaped += byte;
    }
    return escaped;
}

QByteArray CTelnetCodec::ComPort(ComPortCommand command, const QByteArray& value)
{
    QByteArray framed = Bytes({kIac, kSb, kComPort, command});
    framed += Escape(value);
    framed += Bytes({kIac, kSe});
    return framed;
}

QByteArray CTelnetCodec::BaudRate(int baud)
{
    const auto value = static_cast<quint32>(baud);
    return Bytes({static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                  static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)});
}

QByteArray CTelnetCodec::Parity(char parity)
{
    switch (parity) {
    case 'O': return QByteArray(1, 2);
    case 'E': return QByteArray(1, 3);
    case 'M': return QByteArray(1, 4);
    case 'S': return QByteArray(1, 5);
    default: return QByteArray(1, 1);
    }
}

QByteArray CTelnetCodec::StopSize(int stopBits)
{
    return QByteArray(1, char(stopBits == 2 ? 2 : 1));
}

QByteArray CTelnetCodec::Feed(const QByteArray& bytes, QByteArray* reply)
{
    QByteArray data;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (m_state) {
        case State::Data:
            if (byte == kIac)
                m_state = State::Iac;
            else
                data += c;
            break;
        case State::Iac:
            if (byte == kIac) {
                data += c; // a doubled 0xFF is one data byte
                m_state = State::Data;
            } else if (byte >= kWill && byte <= kDont) {
                m_verb = byte;
                m_state = State::Option;
            } else if (byte == kSb) {
                m_sub.clear();
                m_state = State::Sub;
            } else {
                m_state = State::Data; // NOP, GA and the like carry nothing for us
            }
            break;
        case State::Option:
            OnOption(m_verb, byte, reply);
            m_state = State::Data;
            break;
        case State::Sub:
            if (byte == kIac)
                m_state = State::SubIac;
            else
                m_sub += c;
            break;
        case State::SubIac:
            if (byte == kSe) {
                OnSubnegotiation();
                m_state = State::Data;
            } else {
                m_sub += c; // IAC IAC inside: one 0xFF
                m_state = State::Sub;
            }
            break;
        }
    }
    return data;
}

void CTelnetCodec::OnOption(unsigned char verb, unsigned char option, QByteArray* reply)
{
    // DO/DONT are about what this side performs, WILL/WONT about the server.
    const bool aboutUs = verb == kDo || verb == kDont;
    const bool enable = verb == kDo || verb == kWill;
    Side& side = aboutUs ? m_us[option] : m_him[option];
    const bool asked = std::exchange(side.bAsked, false);
    if (enable && Wanted(option)) {
        if (!side.bOn && !asked)
            *reply += Command(aboutUs ? kWill : kDo, option);
        side.bOn = true;
        return;
    }
    if (aboutUs && option == kComPort && !enable)
        m_bComPortRefused = true;
    // Refused, or ended by the server: acknowledged once, when it was on or
    // is offered; an answer to our own request needs none.
    if ((side.bOn || enable) && !asked)
        *reply += Command(aboutUs ? kWont : kDont, option);
    side.bOn = false;
}

void CTelnetCodec::OnSubnegotiation()
{
    if (m_sub.size() < 2 || static_cast<unsigned char>(m_sub[0]) != kComPort)
        return;
    const auto command = static_cast<unsigned char>(m_sub[1]);
    // Notifications (line state 106, modem state 107, flow control 110 and
    // 111) come when the server likes: they answer nothing of ours.
    if (command <= kServerOffset || command == 106 || command == 107 || command == 110 || command == 111)
        return;
    m_answers.push_back({static_cast<unsigned char>(command - kServerOffset), m_sub.mid(2)});
}
