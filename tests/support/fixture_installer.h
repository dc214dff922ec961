// A minimal installer file for the install and pre-check tests and the payload fuzz targets: a
// PE32 header, one .rsrc section whose only resource leads to the payload block, the block and the
// entries' data appended behind it.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>
#include "core/bytes.h"
#include "payload/block.h"

struct FixtureEntry {
    std::string data;        // the bytes stored in the file
    uint32_t expandedSize;   // 0: stored
    std::string extension;   // padded with blanks to 16 bytes
};

// Builds the file; terminated = false leaves the table without its terminator (the file ends
// inside the table when there is no data behind it).
static inline std::string BuildFixtureInstaller(const std::string &title, const std::vector<FixtureEntry> &entries,
                                               bool terminated = true)
{
    const uint32_t pe = 0x40, raw = 0x200, rva = 0x1000, dataEntry = 0x48, placeholder = 0x58;
    std::string file(raw + placeholder, '\0');
    uint8_t *f = (uint8_t *)&file[0];
    file[0] = 'M';
    file[1] = 'Z';
    PutU32(f + PeHeaderPointerOffset, pe);
    file.replace(pe, 4, std::string("PE\0\0", 4));
    PutU16(f + pe + 4, 0x14C);
    PutU16(f + pe + 6, 1);  // one section
    PutU16(f + pe + 20, PeOptionalHeader32Size);
    PutU16(f + pe + 24, PeMagic32);
    uint32_t section = pe + PeSignatureSize + PeFileHeaderSize + PeOptionalHeader32Size;
    file.replace(section, 5, ".rsrc");
    PutU32(f + section + 8, 0x60);
    PutU32(f + section + 12, rva);
    PutU32(f + section + 16, 0x200);
    PutU32(f + section + 20, raw);
    // Three directory levels of one entry each: type, name, language.
    PutU16(f + raw + 12, 1);
    PutU32(f + raw + 16, 0x80000000u);
    PutU32(f + raw + 20, 0x80000018u);
    PutU16(f + raw + 0x18 + 14, 1);
    PutU32(f + raw + 0x18 + 16, 1000);
    PutU32(f + raw + 0x18 + 20, 0x80000030u);
    PutU16(f + raw + 0x30 + 14, 1);
    PutU32(f + raw + 0x30 + 16, 1033);
    PutU32(f + raw + 0x30 + 20, dataEntry);
    PutU32(f + raw + dataEntry, rva + placeholder);
    PutU32(f + raw + dataEntry + 4, 4);

    std::string block(TableOffsetWithoutLicence + PayloadEntrySize * (entries.size() + (terminated ? 1 : 0)), '\0');
    uint8_t *b = (uint8_t *)&block[0];
    block.replace(LicenceLengthSize, title.size(), title);
    PutU16(b + LicenceLengthSize + TitleFieldSize, (uint32_t)entries.size());
    uint32_t offset = (uint32_t)(file.size() + block.size());
    for (size_t i = 0; i < entries.size(); i++) {
        size_t at = TableOffsetWithoutLicence + PayloadEntrySize * i;
        PutU32(b + at, offset);
        PutU32(b + at + 4, (uint32_t)entries[i].data.size());
        PutU32(b + at + 8, entries[i].expandedSize);
        std::string extension = entries[i].extension;
        extension.resize(ExtensionFieldSize, ' ');
        block.replace(at + 12, ExtensionFieldSize, extension);
        offset += (uint32_t)entries[i].data.size();
    }
    file += block;
    for (const FixtureEntry &e : entries) file += e.data;
    return file;
}
