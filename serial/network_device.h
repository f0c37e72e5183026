#pragma once

#include "core/config/network_address.h"
#include "serial/line_device.h"
#include "serial/telnet_codec.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <atomic>
#include <deque>

// A serial port behind a device server: over RFC 2217 (rfc2217://), where
// the tool sets the line and every data byte 0xFF goes doubled, or over
// plain TCP (socket://), where bytes pass as they are and the server's own
// settings set the line. The network's round trip is measured at the
// connect and at every answer of the server's.
class CNetworkDevice final : public CLineDevice {
    Q_OBJECT
public:
    // A connect, and the server's answers to the line settings, come within these.
    static constexpr int kConnectWaitMs = 5000;
    static constexpr int kSettingWaitMs = 3000;
    // A server that turns a connection away is tried this often, this far apart.
    static constexpr int kConnectAttempts = 10;
    static constexpr int kTurnedAwayPauseMs = 100;
    // A raw TCP server turns a client away within this (and the round trip).
    static constexpr int kTurnAwayWaitMs = 50;
    // A close later than this after the connect (and the round trip) is no turning away.
    static constexpr int kTurnAwayWindowMs = 500;
    // Waits on the server are cut into slices this long, so an interrupt ends them.
    static constexpr int kWaitSliceMs = 100;

    CNetworkDevice();

    bool Open(const LineOpening& opening, const QString& device, OpenOutcome* outcome) override;
    QByteArray ReadAll() override { return std::exchange(m_heard, QByteArray()); }
    bool Write(const QByteArray& bytes) override;
    bool SetRate(int baud, QString* systemText) override;
    int PendingOutput() const override;
    qint64 BytesToWrite() const override { return m_socket.bytesToWrite(); }
    bool WaitForBytesWritten(int timeoutMs) override { return m_socket.waitForBytesWritten(timeoutMs); }
    QString ErrorText() const override;
    void ClearError() override {}
    void Clear() override;
    void Close() override { m_socket.abort(); }
    int RoundTripMs() const override { return m_nRoundTripMs; }

private:
    enum class Attempt { Opened, Failed, TurnedAway };
    Attempt Connect(const LineOpening& opening, OpenOutcome* outcome);
    bool Interrupted() const; // cancelled, or InterruptLineOpenings() since this Open began
    QString RefusedText(CTelnetCodec::ComPortCommand command, const QByteArray& wanted, const QByteArray& set) const;
    // The server's answer to a rate asked for on the open line.
    void OnRateAnswered(const QByteArray& value);
    void OnReadyRead();
    void OnBytesWritten(qint64 bytes);
    void OnSocketError(QAbstractSocket::SocketError error);
    // Protocol bytes of ours, which no hand-over counts.
    void SendOwn(const QByteArray& bytes);
    // Sends the COM-PORT settings and waits for the server's answer to each;
    // false when one did not come. *refused names a setting the server set otherwise.
    bool Settle(const std::vector<std::pair<CTelnetCodec::ComPortCommand, QByteArray>>& settings, QString* refused);
    QString Name() const;

    QTcpSocket m_socket;
    NetworkAddress m_address;
    CTelnetCodec m_codec;
    QByteArray m_heard;
    // What went to the socket, in order: its bytes on the wire, and of them
    // the data a hand-over counts.
    struct Sent {
        qint64 nWire = 0;
        qint64 nData = 0;
    };
    std::deque<Sent> m_sent;
    std::vector<CTelnetCodec::ComPortAnswer> m_answers;
    std::atomic<int> m_nRoundTripMs{0};
    unsigned m_nInterruptsAtOpen = 0;
    int m_nPendingBaud = 0; // a rate asked for on the open line, its answer not yet heard
    QElapsedTimer m_rateAsked;
};
