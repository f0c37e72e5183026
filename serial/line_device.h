#pragma once

#include "serial/line.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <atomic>
#include <memory>

// What a line's monitor reads and writes: a device on this machine, or a
// serial port behind a device server on the network. It is made and opened
// on the owner's thread and then lives on the monitor thread, which alone
// uses it; its signals are those of QSerialPort, so that a lost server is
// what an unplugged adapter is.
class CLineDevice : public QObject {
    Q_OBJECT
public:
    // What an Open could not do.
    struct OpenOutcome {
        PortOpenError error{};   // nothing opened: why
        QString strFailedStep{}; // opened, but a setting was refused: the step
        QString strSystemText{}; // and why
    };

    // Opens `device` (what the opening's name leads to) with the opening's
    // line settings. False when nothing could be opened.
    virtual bool Open(const LineOpening& opening, const QString& device, OpenOutcome* outcome) = 0;
    // What was heard since the last call (data only).
    virtual QByteArray ReadAll() = 0;
    // Hands the bytes to the device whole; false when it failed.
    virtual bool Write(const QByteArray& bytes) = 0;
    // Another rate on the open line; false with *systemText when refused.
    virtual bool SetRate(int baud, QString* systemText) = 0;
    // Bytes taken and not yet sent on, as far as this machine can tell.
    virtual int PendingOutput() const = 0;
    // Bytes not yet handed to the OS, and a wait for them to be.
    virtual qint64 BytesToWrite() const = 0;
    virtual bool WaitForBytesWritten(int timeoutMs) = 0;
    // The last error in a person's words; then it is forgotten.
    virtual QString ErrorText() const = 0;
    virtual void ClearError() = 0;
    // Drops what was heard and not read.
    virtual void Clear() = 0;
    virtual void Close() = 0;
    // The network's round trip to the device, in ms (0 on this machine).
    virtual int RoundTripMs() const { return 0; }
    // An Open running on another thread gives up, as after an interrupt. Any thread.
    void Cancel() { m_bCancelled.store(true, std::memory_order_relaxed); }

signals:
    // A setting asked for on the open line that the device set otherwise.
    void settingRefused(const QString& text);
    void readyRead();
    void bytesWritten(qint64 bytes);
    void errorOccurred(QSerialPort::SerialPortError error);

protected:
    bool Cancelled() const { return m_bCancelled.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> m_bCancelled{false};
};

// How often InterruptLineOpenings() was called.
unsigned LineInterrupts();

// The device a port's name leads to: rfc2217:// and socket:// addresses
// are network devices, anything else a device of this machine.
std::unique_ptr<CLineDevice> MakeLineDevice(const QString& device);
