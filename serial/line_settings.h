#pragma once

#include <QSerialPort>
#include <QString>
#include <optional>

// The line settings of "baud=%d parity=%c data=%d stop=%d", ready for QSerialPort.
struct LineSettings {
    qint32 nBaud = 115200;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// The definition text the settings stand for, e.g. "baud=115200 parity=N data=8 stop=1".
QString LineDefinition(int nBaud, char cParity, int nDataBits, int nStopBits);

// Builds the settings, or nothing when a value cannot be put on a line:
// a baud rate not above 0, a parity letter other than N O E M S, data bits
// outside 5..8, stop bits other than 1 and 2.
std::optional<LineSettings> BuildLineSettings(int nBaud, char cParity, int nDataBits, int nStopBits);
