// A read-only model of a PE32 or PE32+ image: headers, section table and the whole resource tree,
// read through the installer's read-at seam (payload/block.h), so a file is read where its
// structures lie and never whole. The authoring tool checks stubs with it, and tests read built
// installers back (dialog templates, the LASTRES layout).
//
//   PeImage pe = ParsePeImage(ReadAtInstaller, &file, file.size());  // throws ToolError when malformed
//   const ResourceData *d = FindResource(pe, ResourceKey::Id(5), ResourceKey::Id(103), 1033);
//   if (d && d->fileOffset >= 0) { /* d->size bytes of the template at d->fileOffset */ }
//
// Every offset is checked against the file before use; nothing here trusts the image.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "payload/block.h"
#include "sspack/format/byte_io.h"

struct PeSection {
    std::string name;  // up to 8 bytes, cut at the first NUL
    uint32_t virtualSize = 0, virtualAddress = 0;
    uint32_t rawSize = 0, rawPointer = 0;  // SizeOfRawData, PointerToRawData
    uint32_t headerOffset = 0;             // file offset of the 40-byte section header
};

// A resource type, name or language: a number, or a string (from the directory's UTF-16 string,
// kept as ASCII with '?' for anything else).
struct ResourceKey {
    bool named = false;
    uint32_t id = 0;
    std::string name;
    static ResourceKey Id(uint32_t id);
    static ResourceKey Name(const std::string &name);
    bool operator==(const ResourceKey &other) const;
    std::string Text() const;  // "5" or "\"LASTRES\""
};

struct ResourceData {
    uint32_t rva = 0, size = 0, codePage = 0;
    uint32_t entryOffset = 0;  // file offset of the 16-byte data entry
    // File offset of the data, -1 when the RVA lies in no section's raw data inside the file. The
    // size is as declared: check RangeInside(fileOffset, size, file.size()) before reading them.
    int64_t fileOffset = -1;
};

struct ResourceLanguage {
    ResourceKey key;  // a number (1033 and so on) in any sound image
    ResourceData data;
};

struct ResourceName {
    ResourceKey key;
    std::vector<ResourceLanguage> languages;  // in directory order
};

struct ResourceType {
    ResourceKey key;
    std::vector<ResourceName> names;  // in directory order
};

struct PeImage {
    uint32_t peHeaderOffset = 0;     // from offset 0x3C
    uint16_t machine = 0;            // 0x14C i386, 0x8664 x86-64
    uint16_t sectionCount = 0;       // NumberOfSections
    uint16_t optionalHeaderSize = 0; // SizeOfOptionalHeader as declared
    uint16_t magic = 0;              // 0x10B PE32, 0x20B PE32+
    uint32_t resourceDirectoryRva = 0, resourceDirectorySize = 0;  // data directory 2, 0 if absent
    uint32_t certificateTableOffset = 0, certificateTableSize = 0;  // data directory 4 (a file offset), 0 if absent
    uint32_t checkSumOffset = 0;     // file offset of the optional header's CheckSum
    std::vector<PeSection> sections;
    uint64_t fileSize = 0;

    // The first section named ".rsrc" (the one the installer's reader takes), -1 if none.
    int resourceSection = -1;
    // The resource tree read from that section, types in directory order (named types first).
    std::vector<ResourceType> resources;
    // Section-relative end of the directory structures (tables, entries, name strings, data
    // entries): nothing of the tree lies at or behind this offset.
    uint32_t resourceTreeEnd = 0;

    bool Is64() const { return magic == PeMagic64; }
    // The standard optional-header size for the magic: 224 (PE32) or 240 (PE32+).
    uint32_t StandardOptionalHeaderSize() const { return Is64() ? PeOptionalHeader64Size : PeOptionalHeader32Size; }
    // File offset of an RVA inside some section's raw data and inside the file, -1 otherwise.
    int64_t RvaToFileOffset(uint32_t rva) const;
    // End of the last section's raw data in the file.
    uint64_t SectionDataEnd() const;
};

// Parses headers, sections and (when there is a ".rsrc" section) the resource tree of three levels
// from a file of fileSize bytes. Throws ToolError when the image is not a PE file or a structure
// lies outside the file. The headers are walked once, by the installer's own walk.
PeImage ParsePeImage(ReadAtCall read, void *context, uint64_t fileSize);
// The same for an image held in memory.
inline PeImage ParsePeImage(const Bytes &file)
{
    return ParsePeImage(ReadAtBytes, const_cast<Bytes *>(&file), file.size());
}

// The data entry of type/name/language, or nullptr.
const ResourceData *FindResource(const PeImage &image, const ResourceKey &type, const ResourceKey &name,
                                 uint32_t language);
