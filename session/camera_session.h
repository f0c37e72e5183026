#pragma once

#include "paced_sender.h"
#include "protocol/read_cycle.h"
#include "protocol/register_map.h"
#include "serial_port.h"

#include <QObject>
#include <functional>

// One link to a camera, the same for the window and the command line: the
// port and what it hears, every write paced on timers, the read cycle and
// the register image it fills. Front ends hear what happened through Events;
// the session shows nothing itself. On the thread that made it.
class CCameraSession final : public QObject {
public:
    struct Events {
        std::function<void(unsigned ch)> received; // every character from the camera, in order
        // The last answer of a read cycle is in; stored: its 23 bytes are the
        // image now (otherwise the image stays as it was).
        std::function<void(bool stored)> cycleComplete;
        std::function<void()> deviceLost; // after the port's one report
    };

    explicit CCameraSession(Events events);
    ~CCameraSession() override;
    Q_DISABLE_COPY_MOVE(CCameraSession)

    // Opens `device` (what COM<number> stands for) with the session as the
    // port's owner. False when nothing could be opened: Port().OpenError()
    // says why.
    bool Open(unsigned number, const QString& device, int baud, char parity, int dataBits, int stopBits,
              quint32 eventMask);
    // The port itself: monitoring, stopping, closing, its errors.
    CSerialPort& Port() { return m_port; }

    // Starts a read cycle once what is queued has gone out.
    void ReadCycle();
    // One character of an answer, for the read cycle: the next request
    // follows 10 ms later; the last answer completes the cycle.
    void FeedCycle(char ch);
    // Forgets the cycle under way: what arrives later belongs to no register.
    void EndCycle();
    const CReadCycle& Cycle() const { return m_cycle; }
    const RegisterImage& Registers() const { return m_registers; }

    // A register write, followed by its 20 ms.
    void WriteRegister(int value, int reg);
    // Everything else the camera is sent, paced and in order; Cancel() there
    // drops what waits.
    CPacedSender& Sender() { return m_sender; }
    // Bytes or steps still wait to go out.
    bool WritesPending() const { return m_sender.HasQueued(); }

protected:
    bool event(QEvent* event) override;

private:
    Events m_events;
    CReadCycle m_cycle;
    RegisterImage m_registers{};
    CSerialPort m_port;
    CPacedSender m_sender;
};
