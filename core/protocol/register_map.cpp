#include "core/protocol/register_map.h"

#include "core/protocol/link_protocol.h"

#include <cstring>

bool StoreConfiguration(const unsigned char* bytes, int count, RegisterImage* image)
{
    if (count != kReadListSize)
        return false;
    std::memcpy(image->data(), bytes, kReadListSize - 1);
    (*image)[28] = bytes[kReadListSize - 1];
    return true;
}

int ImagePositionOf(int reg)
{
    for (int i = 0; i < kReadListSize - 1; ++i) {
        if (ReadList[i] == reg)
            return i;
    }
    return reg == ReadList[kReadListSize - 1] ? 28 : -1;
}

int StoredRegister(const unsigned char* image, int reg)
{
    const int position = ImagePositionOf(reg);
    return position < 0 ? 0 : image[position];
}
