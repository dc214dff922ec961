// The coder on arbitrary input in both modes: the decoder must give back exactly the input.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <vector>
#include "lzh/decoder.h"
#include "lzh/encoder.h"

// A well-mixed digest of the input: its top bits pick which inputs are stretched, so that a
// mutation of a stretched input is stretched again only now and then.
static uint32_t Digest(const uint8_t *data, size_t size)
{
    uint32_t h = 0;
    for (size_t i = 0; i < size; i++) h = (h + data[i] + 1) * 2654435761u;
    return h;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Short inputs are stretched now and then for the greedy mode: repeated (0xEE), so that long
    // matches run through the chain links' wrap (16384 positions, the 4066 blanks included), or
    // shifted by 7 with each repetition (0xEF 0xEF), so that mostly literals reach the tree's
    // rebuild (32768 symbols). These runs cost milliseconds where others cost microseconds, and
    // the fuzzer keeps breeding them once found: only one in two of the marked inputs (one in
    // four for the rebuild) is stretched, by the digest. A repeated unit is made at least 256
    // bytes long first: a period of a few bytes would only make the match search walk its longest
    // chains. The shortest-path mode costs some microseconds a position and takes the input as given.
    std::vector<uint8_t> stretched(data, data + size);
    uint32_t digest = Digest(data, size);
    if (size > 0 && data[0] == 0xEE && digest >> 31 == 0) {
        for (size_t i = 0; stretched.size() < 256; i++) stretched.push_back((uint8_t)(data[i % size] + i / size * 13));
        std::vector<uint8_t> unit = stretched;
        while (stretched.size() < 13312) stretched.insert(stretched.end(), unit.begin(), unit.end());
    }
    if (size > 1 && data[0] == 0xEF && data[1] == 0xEF && digest >> 30 == 0) {
        for (size_t i = size; stretched.size() < 34000; i++) stretched.push_back((uint8_t)(data[i % size] + i / size * 7));
    }
    std::vector<uint8_t> given(data, data + size);
    for (CompressMode mode : {CompressMode::Fast, CompressMode::Best}) {
        const std::vector<uint8_t> &input = mode == CompressMode::Fast ? stretched : given;
        std::vector<uint8_t> stream = CompressBuffer(mode, input.data(), input.size());
        std::vector<uint8_t> output(input.size() + 1);
        uint32_t n = ExpandToMemory(stream.data(), (uint32_t)stream.size(), output.data(), (uint32_t)input.size(),
                                    (int32_t)input.size());
        if (n != input.size() || (n && memcmp(output.data(), input.data(), n) != 0)) abort();
    }
    return 0;
}
