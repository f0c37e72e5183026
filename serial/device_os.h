#pragma once

#include <QString>
#include <QtGlobal>

// What QSerialPort does not offer, asked of the operating system directly
// through the device's native handle. Where the OS has no counterpart the
// functions do nothing and answer conservatively.

// Asks a USB serial adapter to hand short replies over at once instead of
// holding them for its latency timer (16 ms on FTDI chips). Devices that
// refuse (a pseudo-terminal, a plain UART driver) are left as they are.
void RequestLowLatency(qintptr handle);

// A cause a person understands for an error the device reported: the OS
// error of a device that no longer answers (a hung-up terminal reads as
// "Input/output error"), else the text reported with the error.
QString DeviceErrorText(qintptr handle, const QString& reported);

// Acknowledges what a TCP socket receives at once rather than with the
// next reply or 40 ms later: a server that holds its small packets until
// the last one is acknowledged (Nagle's rule, as ser2net does unless told
// otherwise) would otherwise hand an answer over in pieces 40 ms apart.
// Linux forgets it after a while, so it is asked again after each read.
void AcknowledgeAtOnce(qintptr socket);

// Bytes handed to the driver and not yet sent, or 0 when the OS cannot tell.
int PendingOutputBytes(qintptr handle);

// Whether the device at `path` exists but this user may not read and write it.
bool AccessDenied(const QString& path);

// What a device in use by another program is called: Qt reports it as a
// permission error ("Permission error while locking the device"), which
// sends a user looking for a permission problem that is not there.
QString DeviceBusyText();
