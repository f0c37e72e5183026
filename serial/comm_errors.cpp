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
    case QSerialPort::ResourceError: return CommStepName(CommStep::Read);
    case QSerialPort::WriteError: return CommStepName(CommStep::Write);
    default: return CommStepName(CommStep::Wait);
    }
}

QString CommStepName(CommStep step)
{
    switch (step) {
#ifdef Q_OS_WIN
    case CommStep::Open: return u"CreateFile()"_s;
    case CommStep::Settings: return u"BuildCommDCB()"_s;
    case CommStep::SetLine: return u"SetCommState()"_s;
    case CommStep::Read: return u"ReadFile()"_s;
    case CommStep::Write: return u"WriteFile()"_s;
    case CommStep::Wait: return u"WaitCommEvent()"_s;
#else
    case CommStep::Open: return u"open()"_s;
    case CommStep::Settings:
    case CommStep::SetLine: return u"tcsetattr()"_s;
    case CommStep::Read: return u"read()"_s;
    case CommStep::Write: return u"write()"_s;
    case CommStep::Wait: return u"poll()"_s;
#endif
    }
    return QString();
}
