#include "link/register_map.h"

#include "link/link_protocol.h"

#include <cstring>

unsigned char RegisterImage[kRegisterImageSize] = {};

bool StoreConfiguration(const unsigned char* bytes, int count)
{
    if (count != kReadListSize)
        return false;
    std::memcpy(RegisterImage, bytes, kReadListSize - 1);
    RegisterImage[28] = bytes[kReadListSize - 1];
    return true;
}
