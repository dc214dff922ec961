// An entry's data as the installer finds them: the file itself (ExpandedSize 0), or a compressed
// stream that expands to exactly ExpandedSize bytes.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "payload/block.h"
#include "sspack/format/byte_io.h"
#include "sspack/format/installer_file.h"

// The bytes the installer writes for an entry's data. A stream whose stored bytes are used up
// before its output is complete goes on with zero bits, as the installer's decoder does: the result
// still has expandedSize bytes, and *note (when given) says so. Throws ToolError when the last match
// of a complete stream runs past expandedSize.
Bytes RestoreEntryData(const Bytes &stored, uint32_t expandedSize, std::string *note = nullptr);

// Takes restored bytes piece by piece (a file being written, or nothing when only checking);
// false when they could not be taken. Called from inside the decoder, so it must not throw: the
// Windows builds' decoder has no unwind tables.
using EntryWriter = std::function<bool(const uint8_t *bytes, size_t count)>;

// The same as RestoreEntryData for an entry inside an installer file, its data lying inside it:
// the stored bytes are read and expanded in chunks and handed to write as they come, so neither
// the stored nor the restored bytes are ever held whole. Throws ToolError as RestoreEntryData does,
// or when the file cannot be read; returns false when write refused bytes.
bool RestoreEntryFrom(InstallerFile &file, const PayloadEntry &entry, const EntryWriter &write,
                      std::string *note = nullptr);
