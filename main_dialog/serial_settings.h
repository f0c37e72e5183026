#pragma once

#include <QString>

// The main dialog's serial settings: list index to the value handed to the port.
int PortForIndex(int index);     // 0..4 -> COM1..COM5
int BaudForIndex(int index);     // 0..11 -> 300 .. 115200
char ParityForIndex(int index);  // 'N' 'O' 'E' 'M' 'S'; any other index gives 0
int DataBitsForIndex(int index); // 8, 7, 6
int StopBitsForIndex(int index); // "0" "1" "2" -> 1, 2, 2

struct LineState {
    int nPort = 1;
    int nBaud = 115200;
    char cParity = 'N';
    int nDataBits = 8;
    int nStopBits = 1;
};

// "COM1,打开,115200,N,8,1" for a monitored port.
QString OpenStatusText(const LineState& line, const QString& openWord);
// "COM2 关闭,115200,N,8,1" for a port that is not monitored.
QString ClosedStatusText(const LineState& line, const QString& closedWord);
