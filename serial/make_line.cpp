#include "serial/line.h"
#include "serial/serial_port.h"

std::unique_ptr<CLine> MakeLine(const QString& device)
{
    Q_UNUSED(device); // every name leads to a serial port so far
    return std::make_unique<CSerialPort>();
}
