#include "serial/line_device.h"

#include "core/config/network_address.h"
#include "serial/network_device.h"
#include "serial/serial_device.h"

std::unique_ptr<CLineDevice> MakeLineDevice(const QString& device)
{
    if (IsNetworkName(device))
        return std::make_unique<CNetworkDevice>();
    return std::make_unique<CSerialDevice>();
}
