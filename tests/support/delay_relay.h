#pragma once

#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// A slow network between a client and a server on this machine: every
// chunk goes on after half the round trip, each way, in order. It lives on
// the thread that made it, whose event loop must turn (RunCli turns it).
class DelayRelay final : public QObject {
public:
    DelayRelay(quint16 targetPort, int roundTripMs);
    ~DelayRelay() override;
    quint16 Port() const { return m_server.serverPort(); }

private:
    void OnConnection();
    void Forward(QTcpSocket* from, QTcpSocket* to);

    QTcpServer m_server;
    quint16 m_nTargetPort;
    int m_nRoundTripMs;
};
