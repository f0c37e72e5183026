#include "core/protocol/checksum.h"

int ComputeChecksum(std::size_t length, const unsigned char* bytes)
{
    // Unsigned accumulation wraps modulo 2^32; the value is then read as signed.
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < length; i += 2)
        sum += bytes[i] + 256u * bytes[i + 1];
    if (length % 2 != 0)
        sum += bytes[length - 1];

    auto folded = static_cast<std::int32_t>(sum);
    while ((folded >> 16) != 0)
        folded = (folded & 0xFFFF) + (folded >> 16);
    return ~folded & 0xFFFF;
}
