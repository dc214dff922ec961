// Reading a built installer back: the block is found the way the installer's own reader finds it,
// then taken apart with every field checked against the file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "payload/block.h"
#include "sspack/format/byte_io.h"
#include "sspack/format/installer_file.h"
#include "sspack/format/integrity_file.h"
#include "sspack/format/pe_image.h"

struct InstallerView {
    uint64_t fileSize = 0;
    uint32_t blockOffset = 0;
    std::string licence;        // LicenceLength bytes as stored
    std::string titleField;     // the whole 260-byte field
    std::string title;          // the field up to its NUL (or 259 bytes when it has none)
    bool titleTerminated = true;
    uint16_t entryCount = 0;    // as written; the terminator decides
    uint64_t tableOffset = 0;
    std::vector<PayloadEntry> entries;
    uint64_t blockEnd = 0;      // behind the terminator
    bool hasIntegrityRecord = false;
    uint32_t recordedCrc = 0, computedCrc = 0;  // computed only when the placement is None or Last
    uint64_t payloadEnd = 0;    // behind the block, its record and every entry's data inside the file
    Integrity integrity;        // the certificate table and what the record covers
};

// Throws ToolError when the block cannot be reached or the file ends before the terminator.
InstallerView ReadInstaller(InstallerFile &file);
InstallerView ReadInstaller(const std::string &path);
// The same from a walk of the file's headers already made (reach and walk as WalkPeHeaders gave
// them for OptionalHeaderOfMagic), so a caller that walked them once reads on from there.
InstallerView ReadInstaller(InstallerFile &file, int reach, const PeWalk &walk);

// The PE model of the installer (ParsePeImage over the file).
PeImage ReadInstallerImage(InstallerFile &file);

std::string ExtensionText(const PayloadEntry &entry);

// Whether a compressed entry's stream could give ExpandedSize bytes at all: every token needs at
// least one bit per literal byte, or ten bits for a match of at most 30 bytes, so no sound stream
// yields more than 24 bytes per stored byte (and one match of surplus). A damaged table that claims
// more is refused before anyone expands gigabytes from a few bytes.
bool ExpansionPossible(const PayloadEntry &entry);

// For each entry, another entry whose stored bytes share some with its own, or the entry's own
// index when none does. No tool writes entries that share bytes; expanding such entries would
// multiply what a small file can make sspack write.
std::vector<size_t> OverlappingEntries(const std::vector<PayloadEntry> &entries);  // the field without its padding blanks
