#include "serial/network_device.h"

#include "core/config/printable_text.h"
#include "serial/device_os.h"
#include "serial/socket_connect.h"

#include <QThread>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString SettingName(CTelnetCodec::ComPortCommand command)
{
    switch (command) {
    case CTelnetCodec::SetBaudRate: return u"the rate"_s;
    case CTelnetCodec::SetDataSize: return u"the data bits"_s;
    case CTelnetCodec::SetParity: return u"the parity"_s;
    case CTelnetCodec::SetStopSize: return u"the stop bits"_s;
    case CTelnetCodec::PurgeData: break;
    }
    return u"a setting"_s;
}

QString ValueText(CTelnetCodec::ComPortCommand command, const QByteArray& value)
{
    if (command == CTelnetCodec::SetBaudRate && value.size() == 4) {
        const auto byte = [&](int i) { return quint32(static_cast<unsigned char>(value[i])); };
        return QString::number(byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3));
    }
    return value.isEmpty() ? u"nothing"_s : QString::number(static_cast<unsigned char>(value[0]));
}

} // namespace

CNetworkDevice::CNetworkDevice() : m_socket(this)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &CNetworkDevice::OnReadyRead);
    connect(&m_socket, &QTcpSocket::bytesWritten, this, &CNetworkDevice::OnBytesWritten);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &CNetworkDevice::OnSocketError);
}

QString CNetworkDevice::Name() const
{
    const QString host = m_address.strHost.contains(u':') ? u'[' + m_address.strHost + u']' : m_address.strHost;
    return u"%1://%2:%3"_s.arg(m_address.kind == NetworkAddress::Kind::Rfc2217 ? u"rfc2217"_s : u"socket"_s, host)
        .arg(m_address.nPort);
}

bool CNetworkDevice::Open(const LineOpening& opening, const QString& device, OpenOutcome* outcome)
{
    QString error;
    const std::optional<NetworkAddress> address = ParseNetworkAddress(device, &error);
    if (!address) {
        outcome->error = PortOpenError{opening.strDevice, error};
        return false;
    }
    m_address = *address;
    m_nInterruptsAtOpen = LineInterrupts();
    // A server still closing this tool's last connection to the port (a
    // reopen at once, a probe) turns the next one away for a moment.
    for (int attempt = 1;; ++attempt) {
        const Attempt result = Connect(opening, outcome);
        if (result != Attempt::TurnedAway || attempt == kConnectAttempts || Interrupted())
            return result == Attempt::Opened;
        QThread::msleep(kTurnedAwayPauseMs);
    }
}

bool CNetworkDevice::Interrupted() const
{
    return Cancelled() || LineInterrupts() != m_nInterruptsAtOpen;
}

CNetworkDevice::Attempt CNetworkDevice::Connect(const LineOpening& opening, OpenOutcome* outcome)
{
    m_codec = CTelnetCodec{};
    m_sent.clear();
    m_heard.clear();
    m_answers.clear();
    m_nPendingBaud = 0;
    QElapsedTimer connecting;
    connecting.start();
    QString why;
    const qintptr descriptor =
        ConnectWithin(m_address.strHost, m_address.nPort, kConnectWaitMs, [this] { return Interrupted(); }, &why);
    if (descriptor < 0 || !m_socket.setSocketDescriptor(descriptor)) {
        outcome->error = PortOpenError{opening.strDevice, descriptor < 0 ? why : m_socket.errorString()};
        return Attempt::Failed;
    }
    // A connect takes one round trip; the server's answers refine it.
    m_nRoundTripMs = int(connecting.elapsed());
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QElapsedTimer connected;
    connected.start();
    QString refused;
    bool answered = true;
    if (m_address.kind == NetworkAddress::Kind::RawTcp) {
        // A server that turns a client away says so and closes at once.
        const int turnAwayMs = kTurnAwayWaitMs + m_nRoundTripMs;
        while (m_socket.state() == QAbstractSocket::ConnectedState && connected.elapsed() < turnAwayMs)
            m_socket.waitForReadyRead(int(std::max<qint64>(1, turnAwayMs - connected.elapsed())));
    } else {
        SendOwn(m_codec.Opening());
        answered = Settle({{CTelnetCodec::SetBaudRate, CTelnetCodec::BaudRate(opening.nBaud)},
                           {CTelnetCodec::SetDataSize, QByteArray(1, char(opening.nDataBits))},
                           {CTelnetCodec::SetParity, CTelnetCodec::Parity(opening.cParity)},
                           {CTelnetCodec::SetStopSize, CTelnetCodec::StopSize(opening.nStopBits)}},
                          &refused);
    }
    const auto fail = [&](const QString& text, bool held = false) {
        outcome->error = PortOpenError{opening.strDevice, text, false, held};
        m_socket.abort();
        return Attempt::Failed;
    };
    if (Interrupted())
        return fail(u"interrupted"_s);
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        // ser2net, for one, says "Port already in use" when another client has it.
        const QString said = QString::fromLatin1(m_heard).trimmed();
        const QString saying = said.isEmpty() ? QString() : u", saying \"%1\""_s.arg(PrintableName(said));
        if (connected.elapsed() > kTurnAwayWindowMs + m_nRoundTripMs)
            return fail(u"the server closed the connection after %1 ms%2"_s.arg(connected.elapsed()).arg(saying));
        // Only a server that says why is known to serve another client.
        fail(u"the server closed the connection at once%1"_s.arg(saying), !said.isEmpty());
        return Attempt::TurnedAway;
    }
    if (m_codec.ComPortRefused())
        return fail(u"the server refused serial-port control (RFC 2217)"_s);
    if (!answered)
        return fail(u"the server did not answer the line settings within %1 s"_s.arg(kSettingWaitMs / 1000));
    if (!refused.isEmpty()) {
        outcome->strFailedStep = u"RFC 2217"_s;
        outcome->strSystemText = refused;
    }
    m_heard.clear(); // what came before the line was set is not the camera's
    return Attempt::Opened;
}

bool CNetworkDevice::Settle(const std::vector<std::pair<CTelnetCodec::ComPortCommand, QByteArray>>& settings,
                            QString* refused)
{
    QByteArray commands;
    for (const auto& [command, value] : settings)
        commands += CTelnetCodec::ComPort(command, value);
    m_answers.clear();
    QElapsedTimer waited;
    waited.start();
    SendOwn(commands);
    const auto answerTo = [&](CTelnetCodec::ComPortCommand command) {
        return std::find_if(m_answers.begin(), m_answers.end(), [&](const auto& a) { return a.nCommand == command; });
    };
    const auto allAnswered = [&] {
        return std::all_of(settings.begin(), settings.end(),
                           [&](const auto& setting) { return answerTo(setting.first) != m_answers.end(); });
    };
    bool timed = false;
    while (!allAnswered() && !m_codec.ComPortRefused() && m_socket.state() == QAbstractSocket::ConnectedState
           && !Interrupted()) {
        const qint64 left = kSettingWaitMs - waited.elapsed();
        if (left <= 0)
            break;
        // In slices: an interrupt ends the wait.
        m_socket.waitForReadyRead(int(std::min<qint64>(left, kWaitSliceMs)));
        if (!timed && !m_answers.empty()) {
            m_nRoundTripMs = int(waited.elapsed()); // the first answer: one round trip
            timed = true;
        }
    }
    if (!allAnswered())
        return false;
    for (const auto& [command, value] : settings) {
        if (const auto answer = answerTo(command); answer->value != value && refused->isEmpty())
            *refused = RefusedText(command, value, answer->value);
    }
    return true;
}

QString CNetworkDevice::RefusedText(CTelnetCodec::ComPortCommand command, const QByteArray& wanted,
                                    const QByteArray& set) const
{
    return u"%1 set %2 to %3, not %4"_s.arg(Name(), SettingName(command), ValueText(command, set),
                                             ValueText(command, wanted));
}

bool CNetworkDevice::SetRate(int baud, QString* systemText)
{
    if (m_address.kind == NetworkAddress::Kind::RawTcp) {
        *systemText = u"%1 passes bytes only: its rate is set in the server"_s.arg(Name());
        return false;
    }
    // Not waited for: what follows goes out at once, and the server takes
    // it in order; its answer is checked when it comes.
    m_nPendingBaud = baud;
    m_rateAsked.start();
    SendOwn(CTelnetCodec::ComPort(CTelnetCodec::SetBaudRate, CTelnetCodec::BaudRate(baud)));
    return true;
}

void CNetworkDevice::OnRateAnswered(const QByteArray& value)
{
    const int wanted = std::exchange(m_nPendingBaud, 0);
    if (wanted == 0)
        return;
    m_nRoundTripMs = int(m_rateAsked.elapsed());
    if (value != CTelnetCodec::BaudRate(wanted))
        emit settingRefused(RefusedText(CTelnetCodec::SetBaudRate, CTelnetCodec::BaudRate(wanted), value));
}

void CNetworkDevice::OnReadyRead()
{
    const QByteArray bytes = m_socket.readAll();
    AcknowledgeAtOnce(m_socket.socketDescriptor());
    if (m_address.kind == NetworkAddress::Kind::RawTcp) {
        m_heard += bytes;
    } else {
        QByteArray reply;
        m_heard += m_codec.Feed(bytes, &reply);
        if (!reply.isEmpty())
            SendOwn(reply);
        for (CTelnetCodec::ComPortAnswer& answer : m_codec.TakeAnswers()) {
            if (answer.nCommand == CTelnetCodec::SetBaudRate && m_nPendingBaud != 0)
                OnRateAnswered(answer.value); // a rate changed on the open line
            else
                m_answers.push_back(std::move(answer));
        }
    }
    if (!m_heard.isEmpty())
        emit readyRead();
}

bool CNetworkDevice::Write(const QByteArray& bytes)
{
    const QByteArray wire = m_address.kind == NetworkAddress::Kind::Rfc2217 ? CTelnetCodec::Escape(bytes) : bytes;
    if (m_socket.write(wire) != wire.size())
        return false;
    m_sent.push_back({wire.size(), bytes.size()});
    return true;
}

void CNetworkDevice::SendOwn(const QByteArray& bytes)
{
    if (m_socket.write(bytes) == bytes.size())
        m_sent.push_back({bytes.size(), 0});
}

void CNetworkDevice::OnBytesWritten(qint64 bytes)
{
    // The socket counts wire bytes; a hand-over counts its data.
    qint64 data = 0;
    while (bytes > 0 && !m_sent.empty()) {
        Sent& front = m_sent.front();
        const qint64 taken = std::min(bytes, front.nWire);
        bytes -= taken;
        front.nWire -= taken;
        if (front.nWire == 0) {
            data += front.nData;
            m_sent.pop_front();
        }
    }
    if (data > 0)
        emit bytesWritten(data);
}

void CNetworkDevice::OnSocketError(QAbstractSocket::SocketError error)
{
    // A server that went or a network that broke is a device gone; the rest a failed read.
    const bool gone = error == QAbstractSocket::RemoteHostClosedError || error == QAbstractSocket::NetworkError
        || error == QAbstractSocket::HostNotFoundError || error == QAbstractSocket::ConnectionRefusedError;
    emit errorOccurred(gone ? QSerialPort::ResourceError : QSerialPort::ReadError);
}

int CNetworkDevice::PendingOutput() const
{
    return int(m_socket.bytesToWrite()) + PendingOutputBytes(m_socket.socketDescriptor());
}

QString CNetworkDevice::ErrorText() const
{
    return u"%1: %2"_s.arg(Name(), m_socket.errorString());
}

void CNetworkDevice::Clear()
{
    m_heard.clear();
}
