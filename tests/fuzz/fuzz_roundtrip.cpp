// The coder on arbitrary input in both modes: the decoder must give back exactly the input.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <vector>
#include "lzh/decoder.h"
#include "lzh/encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Short inputs are stretched by repetition now and then, so long matches and rebuilds occur.
    std::vector<uint8_t> input(data, data + size);
    if (size > 0 && data[0] == 0xEE)
        while (input.size() < 70000) input.insert(input.end(), data, data + size);
    for (CompressMode mode : {CompressMode::Fast, CompressMode::Best}) {
        std::vector<uint8_t> stream = CompressBuffer(mode, input.data(), input.size());
        std::vector<uint8_t> output(input.size() + 1);
        uint32_t n = ExpandToMemory(stream.data(), (uint32_t)stream.size(), output.data(), (uint32_t)input.size(),
                                    (int32_t)input.size());
        if (n != input.size() || (n && memcmp(output.data(), input.data(), n) != 0)) abort();
    }
    return 0;
}
