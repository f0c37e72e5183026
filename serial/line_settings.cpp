#include "serial/line_settings.h"

using namespace Qt::StringLiterals;

QString LineDefinition(int nBaud, char cParity, int nDataBits, int nStopBits)
{
    return u"baud=%1 parity=%2 data=%3 stop=%4"_s.arg(nBaud).arg(QChar::fromLatin1(cParity)).arg(nDataBits).arg(nStopBits);
}

std::optional<LineSettings> BuildLineSettings(int nBaud, char cParity, int nDataBits, int nStopBits)
{
    LineSettings settings;
    if (nBaud <= 0)
        return std::nullopt;
    settings.nBaud = nBaud;

    switch (cParity) {
    case 'N': settings.parity = QSerialPort::NoParity; break;
    case 'O': settings.parity = QSerialPort::OddParity; break;
    case 'E': settings.parity = QSerialPort::EvenParity; break;
    case 'M': settings.parity = QSerialPort::MarkParity; break;
    case 'S': settings.parity = QSerialPort::SpaceParity; break;
    default: return std::nullopt;
    }

    if (nDataBits < 5 || nDataBits > 8)
        return std::nullopt;
    settings.dataBits = static_cast<QSerialPort::DataBits>(nDataBits);

    if (nStopBits != 1 && nStopBits != 2)
        return std::nullopt;
    settings.stopBits = nStopBits == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop;
    return settings;
}
