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

// Pacing of the commands on the sending thread.
constexpr int kReadPauseMs = 10;  // before each further read request
constexpr int kWritePauseMs = 20; // after each write command
constexpr int kReadBackPauseMs = 100; // between the last write of a save and its read-back

// A read request's answer is complete within AnswerWaitMs of the request, or
// it went missing; a cycle with a missing or malformed answer is tried again
// from its start, kReadTries times in all.
constexpr int kReadTries = 3;
constexpr int kAnswerLatencyMs = 150; // an adapter's buffering and the camera's turnaround, at most
// kAnswerLatencyMs plus twice the wire time of a request and its answer
// (13 characters of 10 bits): 153 ms at 115200 baud, 1017 ms at 300.
int AnswerWaitMs(int baud);
// An answer timer that fires this much late shows a stalled host, not a
// silent camera: the answer is given its wait again.
constexpr int kLateTimerMs = 50;
// One whole answer to a read request: two hexadecimal digits, CR, LF.
bool IsRegisterAnswer(const QByteArray& group);

// Registers with a meaning of their own to the host.
constexpr int kRestartRegister = 0xFFFF; // 0 then 1 restarts the camera
constexpr int kLanguageRegister = 0xF9;  // OSD language: 1 Chinese, 0 English

// The OSD language the camera is asked for after every read: config.ini's
// Language 0 (the Chinese language library) asks for Chinese, anything else
// for English.
int OsdLanguageForHost(int language);
