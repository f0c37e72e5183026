#include "serial/serial_device.h"

#include "serial/comm_errors.h"
#include "serial/device_os.h"
#include "serial/line_settings.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Applies the settings; the failing step, or nothing.
std::optional<CommStep> ApplyLineSettings(QSerialPort& port, int nBaud, char cParity, int nDataBits, int nStopBits)
{
    const std::optional<LineSettings> settings = BuildLineSettings(nBaud, cParity, nDataBits, nStopBits);
    if (!settings)
        return CommStep::Settings;
    const bool applied = port.setBaudRate(settings->nBaud) && port.setParity(settings->parity)
        && port.setDataBits(settings->dataBits) && port.setStopBits(settings->stopBits)
        && port.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied)
        return CommStep::SetLine;
    // Devices without modem lines (a pseudo-terminal) refuse RTS; that is expected.
    if (!port.setRequestToSend(true) && port.error() != QSerialPort::UnsupportedOperationError)
        return CommStep::SetLine;
    port.clearError();
    return std::nullopt;
}

} // namespace

CSerialDevice::CSerialDevice() : m_port(this)
{
    connect(&m_port, &QSerialPort::readyRead, this, &CLineDevice::readyRead);
    connect(&m_port, &QSerialPort::bytesWritten, this, &CLineDevice::bytesWritten);
    connect(&m_port, &QSerialPort::errorOccurred, this, &CLineDevice::errorOccurred);
}

bool CSerialDevice::Open(const LineOpening& opening, const QString& device, OpenOutcome* outcome)
{
    // A link such as /dev/serial/by-id/... opens the device it points at,
    // so the lock Qt takes is the device's own, whichever name another
    // program used.
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        outcome->error = PortOpenError{opening.strDevice, m_port.errorString(), AccessDenied(opening.strDevice)};
        if (m_port.error() == QSerialPort::PermissionError && !outcome->error.bAccessDenied) {
            outcome->error.strSystemText = DeviceBusyText(); // locked or held exclusively by another program
            outcome->error.bHeld = true;
        }
        return false;
    }
    RequestLowLatency(m_port.handle());
    const std::optional<CommStep> failed =
        ApplyLineSettings(m_port, opening.nBaud, opening.cParity, opening.nDataBits, opening.nStopBits);
    if (failed)
        outcome->strFailedStep = CommStepName(*failed);
    if (failed == CommStep::Settings)
        outcome->strSystemText = u"The parameter is incorrect. (%1)"_s.arg(
            LineDefinition(opening.nBaud, opening.cParity, opening.nDataBits, opening.nStopBits));
    else if (failed)
        outcome->strSystemText = m_port.errorString();
    m_port.clearError();
    m_port.clear();
    return true;
}

bool CSerialDevice::SetRate(int baud, QString* systemText)
{
    if (m_port.setBaudRate(baud))
        return true;
    *systemText = m_port.errorString();
    m_port.clearError();
    return false;
}

int CSerialDevice::PendingOutput() const
{
    return PendingOutputBytes(m_port.handle());
}

QString CSerialDevice::ErrorText() const
{
    return DeviceErrorText(m_port.handle(), m_port.errorString());
}
