#include "serial/line_device.h"

#include "core/config/network_address.h"
#include "serial/network_device.h"
#include "serial/serial_device.h"

#include <atomic>

namespace {

std::atomic<unsigned> g_nLineInterrupts{0};

} // namespace

void InterruptLineOpenings()
{
    g_nLineInterrupts.fetch_add(1, std::memory_order_relaxed);
}

unsigned LineInterrupts()
{
    return g_nLineInterrupts.load(std::memory_order_relaxed);
}

std::unique_ptr<CLineDevice> MakeLineDevice(const QString& device)
{
    if (IsNetworkName(device))
        return std::make_unique<CNetworkDevice>();
    return std::make_unique<CSerialDevice>();
}
