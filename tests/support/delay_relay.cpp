#include "tests/support/delay_relay.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

DelayRelay::DelayRelay(quint16 targetPort, int roundTripMs) : m_nTargetPort(targetPort), m_nRoundTripMs(roundTripMs)
{
    connect(&m_server, &QTcpServer::newConnection, this, &DelayRelay::OnConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

DelayRelay::~DelayRelay()
{
    // Closed sockets tell of it as they go: nothing of this relay may hear them.
    for (QTcpSocket* socket : findChildren<QTcpSocket*>())
        socket->disconnect();
}

void DelayRelay::OnConnection()
{
    while (QTcpSocket* client = m_server.nextPendingConnection()) {
        client->setParent(this);
        auto* server = new QTcpSocket(this);
        server->connectToHost(QHostAddress::LocalHost, m_nTargetPort);
        connect(client, &QTcpSocket::readyRead, this, [this, client, server] { Forward(client, server); });
        connect(server, &QTcpSocket::readyRead, this, [this, client, server] { Forward(server, client); });
        // A side that closes closes the other once what it sent has gone on.
        for (auto [from, to] : {std::pair(client, server), std::pair(server, client)}) {
            connect(from, &QTcpSocket::disconnected, this, [this, to = QPointer<QTcpSocket>(to)] {
                QTimer::singleShot(m_nRoundTripMs / 2 + 1, this, [to] {
                    if (to)
                        to->disconnectFromHost();
                });
            });
        }
    }
}

void DelayRelay::Forward(QTcpSocket* from, QTcpSocket* to)
{
    // Timers of one interval fire in the order they were started: chunks keep theirs.
    const QByteArray chunk = from->readAll();
    QTimer::singleShot(m_nRoundTripMs / 2, Qt::PreciseTimer, this, [to = QPointer<QTcpSocket>(to), chunk] {
        if (to)
            to->write(chunk);
    });
}
