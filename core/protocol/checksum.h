#pragma once

#include <cstddef>
#include <cstdint>

// The image checksum the camera verifies: a 16-bit ones'-complement sum of
// little-endian 16-bit words, accumulated in a signed 32-bit sum whose
// carries are folded back with an arithmetic shift. Up to a running sum of
// 2^31 this equals the Internet checksum; beyond, the camera expects exactly
// this signed fold.
int ComputeChecksum(std::size_t length, const unsigned char* bytes);

// The same over a whole container of bytes (QByteArray, std::string).
template <typename Bytes>
int ComputeChecksum(const Bytes& bytes)
{
    return ComputeChecksum(static_cast<std::size_t>(bytes.size()), reinterpret_cast<const unsigned char*>(bytes.data()));
}
