#include "serial/network_device.h"

#include "core/config/printable_text.h"
#include "serial/device_os.h"

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
    // A server still closing this tool's last connection to the port (a
    // reopen at once, a probe) turns the next one away for a moment.
    for (int attempt = 1;; ++attempt) {
        const Attempt result = Connect(opening, outcome);
        if (result != Attempt::TurnedAway || attempt == kConnectAttempts)
            return result == Attempt::Opened;
        QThread::msleep(kTurnedAwayPauseMs);
    }
}

CNetworkDevice::Attempt CNetworkDevice::Connect(const LineOpening& opening, OpenOutcome* outcome)
{
    m_codec = CTelnetCodec{};
    m_sent.clear();
    m_heard.clear();
    m_answers.clear();
    QElapsedTimer connecting;
    connecting.start();
    m_socket.connectToHost(m_address.strHost, m_address.nPort);
    if (!m_socket.waitForConnected(kConnectWaitMs)) {
        const QString why = m_socket.error() == QAbstractSocket::SocketTimeoutError
                                ? u"no connection within %1 s"_s.arg(kConnectWaitMs / 1000)
                                : m_socket.errorString();
        outcome->error = PortOpenError{opening.strDevice, why};
        m_socket.abort();
        return Attempt::Failed;
    }
    // A connect takes one round trip; the server's answers refine it.
    m_nRoundTripMs = int(connecting.elapsed());
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QString refused;
    bool answered = true;
    if (m_address.kind == NetworkAddress::Kind::RawTcp) {
        // A server that turns a client away says so and closes at once.
        m_socket.waitForReadyRead(kTurnAwayWaitMs + m_nRoundTripMs);
    } else {
        SendOwn(m_codec.Opening());
        answered = Settle({{CTelnetCodec::SetBaudRate, CTelnetCodec::BaudRate(opening.nBaud)},
                           {CTelnetCodec::SetDataSize, QByteArray(1, char(opening.nDataBits))},
                           {CTelnetCodec::SetParity, CTelnetCodec::Parity(opening.cParity)},
                           {CTelnetCodec::SetStopSize, CTelnetCodec::StopSize(opening.nStopBits)}},
                          &refused);
    }
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        // ser2net, for one, says "Port already in use" when another client has it.
        const QString said = QString::fromLatin1(m_heard).trimmed();
        const QString why = said.isEmpty() ? u"the server closed the connection at once"_s
                                           : u"the server closed the connection, saying \"%1\""_s.arg(PrintableName(said));
        outcome->error = PortOpenError{opening.strDevice, why, false, true};
        m_socket.abort();
        return Attempt::TurnedAway;
    }
    if (m_codec.ComPortRefused() || !answered) {
        const QString why = m_codec.ComPortRefused()
                                ? u"the server refused serial-port control (RFC 2217)"_s
                                : u"the server did not answer the line settings within %1 s"_s.arg(kSettingWaitMs / 1000);
        outcome->error = PortOpenError{opening.strDevice, why};
        m_socket.abort();
        return Attempt::Failed;
    }
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
    bool timed = false;
    while (m_answers.size() < settings.size() && !m_codec.ComPortRefused()
           && m_socket.state() == QAbstractSocket::ConnectedState) {
        const qint64 left = kSettingWaitMs - waited.elapsed();
        if (left <= 0 || !m_socket.waitForReadyRead(int(left)))
            break;
        if (!timed && !m_answers.empty()) {
            m_nRoundTripMs = int(waited.elapsed()); // the first answer: one round trip
            timed = true;
        }
    }
    if (m_answers.size() < settings.size())
        return false;
    for (const auto& [command, value] : settings) {
        const auto answer = std::find_if(m_answers.begin(), m_answers.end(),
                                         [&](const auto& a) { return a.nCommand == command; });
        if (answer != m_answers.end() && answer->value != value && refused->isEmpty())
            *refused = u"%1 set %2 to %3, not %4"_s.arg(Name(), SettingName(command), ValueText(command, answer->value),
                                                       ValueText(command, value));
    }
    return true;
}

bool CNetworkDevice::SetRate(int baud, QString* systemText)
{
    if (m_address.kind == NetworkAddress::Kind::RawTcp) {
        *systemText = u"%1 passes bytes only: its rate is set in the server"_s.arg(Name());
        return false;
    }
    QString refused;
    if (!Settle({{CTelnetCodec::SetBaudRate, CTelnetCodec::BaudRate(baud)}}, &refused))
        *systemText = u"%1 did not answer the rate %2 within %3 s"_s.arg(Name()).arg(baud).arg(kSettingWaitMs / 1000);
    else
        *systemText = refused;
    if (!m_heard.isEmpty())
        emit readyRead(); // heard while the answer was awaited
    return systemText->isEmpty();
}

void CNetworkDevice::OnReadyRead()
{
    const QByteArray bytes = m_socket.readAll();
    if (m_address.kind == NetworkAddress::Kind::RawTcp) {
        m_heard += bytes;
    } else {
        QByteArray reply;
        m_heard += m_codec.Feed(bytes, &reply);
        if (!reply.isEmpty())
            SendOwn(reply);
        for (CTelnetCodec::ComPortAnswer& answer : m_codec.TakeAnswers())
            m_answers.push_back(std::move(answer));
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
