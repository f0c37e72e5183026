#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// One serial port of the machine as the OS lists it.
struct SystemPort {
    QString strName{};         // "ttyUSB0", "COM7"
    QString strLocation{};     // what to open: "/dev/ttyUSB0", "\\\\.\\COM7"
    QString strDescription{};  // the adapter's words, "FT232R USB UART"; may be empty
    QString strSerialNumber{}; // the USB serial number, when it has one
    QString strUsbId{};        // the USB vendor and product, "0403:6001", when the OS knows them
};

// The machine's ports, from QSerialPortInfo unless a test installed a source.
QList<SystemPort> SystemPorts();
using PortSource = std::function<QList<SystemPort>()>;
// Replaces the source and returns the previous one (empty: the OS's list).
PortSource SetPortSource(PortSource source);

// The ports to offer beside COM1..COM5 (ComPorts()): those that no
// COMn already opens (compared by the device each name leads to), in the
// OS's order.
QList<SystemPort> ExtraPorts(const QList<SystemPort>& ports);
// The port of `ports` that opens `device` (compared by the device each
// name leads to), or none.
const SystemPort* PortOfDevice(const QList<SystemPort>& ports, const QString& device);
// The USB "vendor:product" of the machine's port that opens `device`, empty when none.
QString UsbIdOf(const QString& device);
// The USB serial number of the port that opens `device`, empty when none.
QString SerialNumberOf(const QList<SystemPort>& ports, const QString& device);
// Where the port with this USB serial number is now, empty when it is not.
QString LocationOfSerialNumber(const QList<SystemPort>& ports, const QString& serialNumber);

// How a port shows in the list: "ttyUSB0 — FT232R USB UART", or its name alone.
QString PortLabel(const SystemPort& port);
