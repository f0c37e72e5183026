#include "tests/support/device_server.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

quint16 FreeLocalPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

DeviceServer::DeviceServer(const QString& device, Kind kind, int baud, quint16 port, bool charDelay)
    : m_kind(kind), m_nPort(port != 0 ? port : FreeLocalPort()), m_bCharDelay(charDelay)
{
    const QString accepter = kind == Kind::Rfc2217 ? u"telnet(rfc2217),tcp,127.0.0.1,%1"_s.arg(m_nPort)
                                                   : u"tcp,127.0.0.1,%1"_s.arg(m_nPort);
    const QString config = u"%YAML 1.1\n---\nconnection: &camera\n  accepter: %1\n"
                           "  connector: serialdev(nouucplock=true),%2,%3n81,local\n"_s.arg(accepter, device)
                               .arg(baud)
        + (m_bCharDelay ? QString() : u"  options:\n    chardelay: false\n"_s);
    QFile file(m_dir.filePath(u"ser2net.yaml"_s));
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
        return;
    file.close();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(u"ser2net"_s, {u"-n"_s, u"-d"_s, u"-c"_s, file.fileName()});
    if (!m_process.waitForStarted(5000))
        return;
    // Listening once a connect is taken; the probe's connection opens the
    // device and closes it again, as any client's does.
    for (int tries = 0; tries < 100 && !m_bStarted; ++tries) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_nPort);
        m_bStarted = probe.waitForConnected(100);
        if (!m_bStarted)
            QTest::qWait(50);
    }
    QTest::qWait(100); // the probe's close reaches the server
}

DeviceServer::~DeviceServer()
{
    Kill();
}

QString DeviceServer::Address() const
{
    return u"%1://127.0.0.1:%2"_s.arg(m_kind == Kind::Rfc2217 ? u"rfc2217"_s : u"socket"_s).arg(m_nPort);
}

void DeviceServer::Kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}
