#include "serial/comm_errors.h"

using namespace Qt::StringLiterals;

CCommErrors::Verdict CCommErrors::OnError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return Verdict::Ignore;
    if (error == QSerialPort::ResourceError || ++m_nRun >= 2)
        return Verdict::DeviceLost;
    return Verdict::Hold;
}

QString CCommErrors::StepName(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError: return u"ReadFile()"_s;
    case QSerialPort::WriteError: return u"WriteFile()"_s;
    default: return u"WaitCommEvent()"_s;
    }
}
