#pragma once

#include <QByteArray>

// The camera's register protocol: plain-text commands, four-character replies.
constexpr int kReadListSize = 23;
// The registers of a read cycle, in the order they are requested.
extern const int ReadList[kReadListSize];

// "r %04X " CR LF: register 0x1F gives "r 001F \r\n".
QByteArray FormatReadCommand(int reg);
// "w %02X %04X" CR LF with the value cut to 8 bits: (0x1FF, 0x12) gives "w FF 0012\r\n".
QByteArray FormatWriteCommand(int value, int reg);

// Converts pairs of hexadecimal digits (either case) to bytes, skipping CR,
// LF and blanks between pairs; stops at the first other character or a
// separator inside a pair. Returns the count stored, never more than outSize.
int HexToBytes(const QByteArray& text, unsigned char* out, int outSize);

// Read-cycle state, touched only on the GUI thread.
extern int g_nReadIndex;       // next ReadList entry; -1 before the first cycle
extern QByteArray g_strReply;  // characters received in read mode since the cycle started
extern int g_nReplyChars;      // how many; every fourth ends one reply
