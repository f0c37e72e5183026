#include "camera_session.h"

#include "port_message.h"
#include "protocol/link_protocol.h"

CCameraSession::CCameraSession(Events events)
    : m_events(std::move(events)), m_sender([this](const QByteArray& bytes) { m_port.QueueWrite(bytes); })
{
}

CCameraSession::~CCameraSession()
{
    // Stopped while every member is whole: the monitor may still deliver.
    m_port.Close();
    m_sender.Cancel();
}

bool CCameraSession::Open(unsigned number, const QString& device, int baud, char parity, int dataBits, int stopBits,
                          quint32 eventMask)
{
    return m_port.Open(this, number, device, baud, parity, dataBits, stopBits, eventMask);
}

void CCameraSession::ReadCycle()
{
    m_sender.Then([this] { m_sender.Send(m_cycle.Start()); });
}

void CCameraSession::FeedCycle(char ch)
{
    switch (m_cycle.Receive(ch)) {
    case CReadCycle::Step::Collecting:
    case CReadCycle::Step::Dropped: // no cycle was started: the group belongs to no register
        break;
    case CReadCycle::Step::RequestNext:
        m_sender.Pause(kReadPauseMs);
        m_sender.Send(m_cycle.NextRequest());
        break;
    case CReadCycle::Step::Complete: {
        unsigned char bytes[512];
        const int count = HexToBytes(m_cycle.TakeReply(), bytes, sizeof bytes);
        const bool stored = StoreConfiguration(bytes, count, &m_registers);
        if (m_events.cycleComplete)
            m_events.cycleComplete(stored);
        break;
    }
    }
}

void CCameraSession::EndCycle()
{
    m_cycle.End();
}

void CCameraSession::WriteRegister(int value, int reg)
{
    m_sender.Send(FormatWriteCommand(value, reg), kWritePauseMs);
}

bool CCameraSession::event(QEvent* event)
{
    if (event->type() == PortEventType(PortMessage::ReceiveChar)) {
        if (m_events.received)
            m_events.received(static_cast<CPortMessageEvent*>(event)->WParam());
        return true;
    }
    if (event->type() == PortEventType(PortMessage::DeviceLost)) {
        if (m_events.deviceLost)
            m_events.deviceLost();
        return true;
    }
    return QObject::event(event);
}
