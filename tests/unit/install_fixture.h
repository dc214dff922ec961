// A minimal installer file for the install tests: a PE32 header, one .rsrc section whose only
// resource leads to the payload block, the block and the entries' data appended behind it.
#pragma once
#include <stdint.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "core/bytes.h"
#include "payload/block.h"

struct FixtureEntry {
    std::string data;        // the bytes stored in the file
    uint32_t expandedSize;   // 0: stored
    std::string extension;   // padded with blanks to 16 bytes
};

// core/bytes.h at an offset into a text buffer.
static inline void FixturePutU16(std::string &s, size_t at, uint32_t v) { PutU16((uint8_t *)&s[at], v); }
static inline void FixturePutU32(std::string &s, size_t at, uint32_t v) { PutU32((uint8_t *)&s[at], v); }

// Builds the file; terminated = false leaves the table without its terminator (the file ends
// inside the table when there is no data behind it).
static inline std::string BuildFixtureInstaller(const std::string &title, const std::vector<FixtureEntry> &entries,
                                               bool terminated = true)
{
    const uint32_t pe = 0x40, raw = 0x200, rva = 0x1000, dataEntry = 0x48, placeholder = 0x58;
    std::string file(raw + placeholder, '\0');
    file[0] = 'M';
    file[1] = 'Z';
    FixturePutU32(file, PeHeaderPointerOffset, pe);
    file.replace(pe, 4, std::string("PE\0\0", 4));
    FixturePutU16(file, pe + 4, 0x14C);
    FixturePutU16(file, pe + 6, 1);  // one section
    FixturePutU16(file, pe + 20, PeOptionalHeader32Size);
    FixturePutU16(file, pe + 24, PeMagic32);
    uint32_t section = pe + PeSignatureSize + PeFileHeaderSize + PeOptionalHeader32Size;
    file.replace(section, 5, ".rsrc");
    FixturePutU32(file, section + 8, 0x60);
    FixturePutU32(file, section + 12, rva);
    FixturePutU32(file, section + 16, 0x200);
    FixturePutU32(file, section + 20, raw);
    // Three directory levels of one entry each: type, name, language.
    FixturePutU16(file, raw + 12, 1);
    FixturePutU32(file, raw + 16, 0x80000000u);
    FixturePutU32(file, raw + 20, 0x80000018u);
    FixturePutU16(file, raw + 0x18 + 14, 1);
    FixturePutU32(file, raw + 0x18 + 16, 1000);
    FixturePutU32(file, raw + 0x18 + 20, 0x80000030u);
    FixturePutU16(file, raw + 0x30 + 14, 1);
    FixturePutU32(file, raw + 0x30 + 16, 1033);
    FixturePutU32(file, raw + 0x30 + 20, dataEntry);
    FixturePutU32(file, raw + dataEntry, rva + placeholder);
    FixturePutU32(file, raw + dataEntry + 4, 4);

    std::string block(TableOffsetWithoutLicence + PayloadEntrySize * (entries.size() + (terminated ? 1 : 0)), '\0');
    block.replace(LicenceLengthSize, title.size(), title);
    FixturePutU16(block, LicenceLengthSize + TitleFieldSize, (uint32_t)entries.size());
    uint32_t offset = (uint32_t)(file.size() + block.size());
    for (size_t i = 0; i < entries.size(); i++) {
        size_t at = TableOffsetWithoutLicence + PayloadEntrySize * i;
        FixturePutU32(block, at, offset);
        FixturePutU32(block, at + 4, (uint32_t)entries[i].data.size());
        FixturePutU32(block, at + 8, entries[i].expandedSize);
        std::string extension = entries[i].extension;
        extension.resize(ExtensionFieldSize, ' ');
        block.replace(at + 12, ExtensionFieldSize, extension);
        offset += (uint32_t)entries[i].data.size();
    }
    file += block;
    for (const FixtureEntry &e : entries) file += e.data;
    return file;
}

static inline void FixtureWriteFile(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

static inline std::string FixtureReadFile(const std::string &path)
{
    std::string bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return "<missing>";
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    fclose(f);
    return bytes;
}

static inline std::string PatternBytes(size_t size, unsigned seed)
{
    std::string s(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; i++) {
        x = x * 1103515245u + 12345u;
        s[i] = (char)(x >> 16);
    }
    return s;
}
