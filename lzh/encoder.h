// The coder of compressed entries for the authoring tool: writes streams that ExpandStream expands
// to exactly the input. It keeps its own adaptive tree in step with the decoder's. Memory stays
// bounded (a few windows and buffers) whatever the size of the input. Built into sspack on Linux and
// on Windows; the installer only decodes.
#pragma once
#include <stdint.h>
#include <stddef.h>
#include <functional>
#include <vector>
#include "lzh/decoder.h"

// How an entry's data go into the installer; the coder itself is asked for Fast or Best only.
enum class CompressMode {
    Stored,  // the file's own bytes, no stream (ExpandedSize 0)
    Fast,    // greedy parse over hash chains
    Best     // shortest path over all matches, priced by the adaptive code
};

// Reads up to size bytes into buffer; returns how many, 0 at the end. Reads fail by returning false
// through the failed flag of the result (set *failed = true and return 0).
using CompressReader = std::function<size_t(uint8_t *buffer, size_t size, bool *failed)>;
// Takes count bytes of the stream; false stops the coder.
using CompressWriter = std::function<bool(const uint8_t *bytes, size_t count)>;

struct CompressResult {
    bool ok = false;          // the whole input was coded and written
    uint64_t inputSize = 0;   // the expanded size
    uint64_t storedSize = 0;  // bytes of the stream
};

// The longest input a stream can describe is MaxExpandedSize (lzh/decoder.h).

CompressResult CompressStream(CompressMode mode, const CompressReader &read, const CompressWriter &write);
std::vector<uint8_t> CompressBuffer(CompressMode mode, const uint8_t *data, size_t size);

// Whether coding an input of this size is not worth the time because the stream would not be
// smaller: no block of IncompressibleProbe bytes shows bytes skewed enough or sequences recurring
// often enough for the coder to use, and the first block, coded in this mode, gains nothing. Reads
// the input once at most, and stops at the first block that looks compressible. Inputs of up to two
// probes are never judged: coding them costs little.
constexpr uint64_t IncompressibleProbe = 1u << 16;
bool WillNotShrink(CompressMode mode, const CompressReader &read, uint64_t size);
bool WillNotShrink(CompressMode mode, const uint8_t *data, size_t size);
