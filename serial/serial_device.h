#pragma once

#include "serial/line_device.h"

#include <QSerialPort>

// A serial device of this machine (/dev/ttyUSB0, what COMn stands for),
// through QSerialPort.
class CSerialDevice final : public CLineDevice {
    Q_OBJECT
public:
    CSerialDevice();

    bool Open(const LineOpening& opening, const QString& device, OpenOutcome* outcome) override;
    QByteArray ReadAll() override { return m_port.readAll(); }
    bool Write(const QByteArray& bytes) override { return m_port.write(bytes) == bytes.size(); }
    bool SetRate(int baud, QString* systemText) override;
    int PendingOutput() const override;
    qint64 BytesToWrite() const override { return m_port.bytesToWrite(); }
    bool WaitForBytesWritten(int timeoutMs) override { return m_port.waitForBytesWritten(timeoutMs); }
    QString ErrorText() const override;
    void ClearError() override { m_port.clearError(); }
    void Clear() override { m_port.clear(); }
    void Close() override { m_port.close(); }

private:
    QSerialPort m_port;
};
