// The payload block as bytes: composed by the build, taken apart by list, extract and verify.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "payload/block.h"
#include "sspack/format/byte_io.h"

// Bytes of a block with this licence length and number of entries (terminator included).
uint64_t BlockSize(size_t licenceLength, size_t entryCount, bool integrityRecord);

// LicenceLength, the licence, the title NUL-padded to 260 bytes, EntryCount, the entries, the
// 28-byte terminator and, when asked for, room for the integrity record (tag written, CRC zero).
Bytes ComposeBlock(const std::string &licence, const std::string &title, const std::vector<PayloadEntry> &entries,
                   bool integrityRecord);
