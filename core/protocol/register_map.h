#pragma once

#include <array>

// The camera's settings as the last complete read cycle left them: positions
// 0-21 hold the first 22 registers of the ReadList in list order, position 28
// the last one (0xF9, OSD language); positions 22-27 are OSD fields no read
// cycle fills. Zero until the first cycle; each link to a camera keeps its own.
constexpr int kRegisterImageSize = 29;
using RegisterImage = std::array<unsigned char, kRegisterImageSize>;

// Stores the bytes of one cycle in *image when there are exactly 23 of them;
// any other count leaves the image as it was and returns false.
bool StoreConfiguration(const unsigned char* bytes, int count, RegisterImage* image);

// The image position that holds a register of the read cycle (0x1F -> 0,
// 0x00 -> 1 ... 0x1E -> 21, 0xF9 -> 28), or -1 for a register no cycle reads.
int ImagePositionOf(int reg);

// A register's byte in an image laid out as RegisterImage; 0 for a register
// no cycle reads.
int StoredRegister(const unsigned char* image, int reg);
