#pragma once

#include <QSerialPort>
#include <QString>

// What the monitor makes of the errors its device reports. No error is
// cleared without a trace: a single error is reported once things are quiet
// again, and a run of errors without a good transfer between them (a
// pseudo-terminal whose far end closed reports one after another), or a
// resource error (an unplugged adapter), means the device is gone, which is
// reported once.
class CCommErrors final {
public:
    enum class Verdict {
        Ignore,    // no error
        Hold,      // report it unless more follow at once
        DeviceLost // report once and end monitoring
    };

    Verdict OnError(QSerialPort::SerialPortError error);

    // A read or a write went through: a run of errors has ended.
    void OnGoodTransfer() { m_nRun = 0; }

    // The step a report names for an error of this kind.
    static QString StepName(QSerialPort::SerialPortError error);

private:
    int m_nRun = 0;
};

// The steps a report can name, in the OS's own words: open() and
// tcsetattr() here, CreateFile() and SetCommState() on Windows.
enum class CommStep {
    Open,     // the device could not be opened
    Settings, // the line settings are not valid for a line
    SetLine,  // the device refused the line settings
    Read,
    Write,
    Wait,     // waiting for the device to have something
};
QString CommStepName(CommStep step);
