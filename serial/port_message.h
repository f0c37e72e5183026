#pragma once

#include <QEvent>

// Notifications the port sends its owner, numbered like the window messages
// WM_USER+n they stand for: the owner receives a CPortMessageEvent of type
// QEvent::User + n in its event() / customEvent().
namespace PortMessage {
constexpr int Break = 1;       // EV_BREAK in the mask
constexpr int Cts = 2;         // EV_CTS in the mask
constexpr int Err = 4;         // EV_ERR in the mask
constexpr int Ring = 5;        // EV_RING in the mask
constexpr int ReceiveChar = 7; // one per received byte
constexpr int RxFlag = 8;      // EV_RXFLAG in the mask, after the received bytes
constexpr int DeviceLost = 9;  // the device went away; monitoring has ended (after its one report)
} // namespace PortMessage

// Comm-event mask bits given to CSerialPort::Open.
namespace CommEvent {
constexpr quint32 RxChar = 0x0001;
constexpr quint32 RxFlag = 0x0002;
constexpr quint32 Cts = 0x0008;
constexpr quint32 Break = 0x0040;
constexpr quint32 Err = 0x0080;
constexpr quint32 Ring = 0x0100;
} // namespace CommEvent

constexpr QEvent::Type PortEventType(int message)
{
    return static_cast<QEvent::Type>(QEvent::User + message);
}

class CPortMessageEvent final : public QEvent {
public:
    CPortMessageEvent(int message, unsigned wParam, unsigned lParam)
        : QEvent(PortEventType(message)), m_nMessage(message), m_wParam(wParam), m_lParam(lParam) {}

    int Message() const { return m_nMessage; }
    unsigned WParam() const { return m_wParam; } // the byte for ReceiveChar, else 0
    unsigned LParam() const { return m_lParam; } // the port number

private:
    int m_nMessage;
    unsigned m_wParam;
    unsigned m_lParam;
};
