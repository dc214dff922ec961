// Little-endian fields in byte vectors and whole-file reads for the authoring tool.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/bytes.h"

using Bytes = std::vector<uint8_t>;

// The fields of core/bytes.h at an offset into a vector; the caller has checked the bounds.
inline uint16_t GetU16(const Bytes &bytes, size_t offset) { return (uint16_t)GetU16(bytes.data() + offset); }
inline uint32_t GetU32(const Bytes &bytes, size_t offset) { return GetU32(bytes.data() + offset); }
inline void PutU16(Bytes &bytes, size_t offset, uint16_t value) { PutU16(bytes.data() + offset, value); }
inline void PutU32(Bytes &bytes, size_t offset, uint32_t value) { PutU32(bytes.data() + offset, value); }
void AppendU16(Bytes &bytes, uint16_t value);

// ReadAtCall (payload/block.h) over a Bytes held in memory; context points to it.
int ReadAtBytes(void *context, uint32_t offset, void *buffer, uint32_t size);

// True when [offset, offset + size) lies inside a buffer of the given length, without overflow.
bool RangeInside(uint64_t offset, uint64_t size, uint64_t length);

// Throws ToolError naming the file when it cannot be read whole.
Bytes ReadWholeFile(const std::string &path);
void WriteWholeFile(const std::string &path, const Bytes &bytes);
