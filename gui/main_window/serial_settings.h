#pragma once

#include <QString>

struct PortOpenError;

// The main dialog's serial settings: list index to the value handed to the port.
int PortForIndex(int index);     // 0..4 -> COM1..COM5; any other index gives 0
int BaudForIndex(int index);     // 0..11 -> 300 .. 115200
char ParityForIndex(int index);  // 'N' 'O' 'E' 'M' 'S'; any other index gives 0
int DataBitsForIndex(int index); // 8, 7, 6
int StopBitsForIndex(int index); // "0" "1" "2" -> 1, 2, 2

struct LineState {
    int nPort = 1;       // COMn; 0 for a port of the machine chosen past COM5
    QString strDevice;   // that port's device, e.g. /dev/ttyUSB0; empty for COMn
    int nBaud = 115200;
    char cParity = 'N';
    int nDataBits = 8;
    int nStopBits = 1;
};

// Takes the entry `index` of list 1008 (rate), 1009 (parity), 1010 (data
// bits) or 1013 (stop bits) into the line; false for any other list.
bool ApplyLineSetting(LineState* line, int listId, int index);

// "COM1", or the chosen device's name ("ttyUSB0").
QString PortName(const LineState& line);

// "COM1,打开,115200,N,8,1" for a monitored port.
QString OpenStatusText(const LineState& line, const QString& openWord);
// "COM2 关闭,115200,N,8,1" for a port that is not monitored.
QString ClosedStatusText(const LineState& line, const QString& closedWord);

// The box after a failed open: the table's text, then the device and the
// OS's words, then the hint of what fixes it, when there is one.
QString OpenFailureText(const QString& notFound, const PortOpenError& error, const QString& hint);
// The status text after a failed open: "COM3 打开失败: No such file or directory".
QString OpenFailureStatus(const LineState& line, const QString& failedWord, const PortOpenError& error);
