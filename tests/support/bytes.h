// Byte buffers for the unit tests and the fuzz targets: content that tells every file and every
// position apart. The fields themselves are core/bytes.h's GetU16/GetU32/PutU16/PutU32.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "core/bytes.h"

using Bytes = std::vector<uint8_t>;

// Content that differs per file and per byte, so a misplaced or shifted copy cannot pass. Buffer is
// Bytes or std::string; the same seed gives the same bytes in either.
template <class Buffer = Bytes>
Buffer Pattern(size_t size, uint32_t seed)
{
    Buffer bytes(size, 0);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; i++) {
        x = x * 1103515245u + 12345u;
        bytes[i] = (typename Buffer::value_type)(x >> 16);
    }
    return bytes;
}
