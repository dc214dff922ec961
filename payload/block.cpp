// The self-locating payload reader. Every step checks its read and gives up otherwise, so a
// damaged file never leads to a read at an invented offset; beyond that the headers are trusted,
// as the installers built by the authoring tool lay them out.
#include <string.h>
#include "core/bytes.h"
#include "payload/block.h"

int ReadAtHandle(void *context, uint32_t offset, void *buffer, uint32_t size)
{
    FileHandle f = *(FileHandle *)context;
    return offset <= 0x7FFFFFFF && FileSeek(f, (int32_t)offset, SeekSet) == (int32_t)offset &&
           FileReadAll(f, buffer, size);
}

// The fields signing changes; their places come from the magic, as a signer takes them.
static void ReadSigningPart(ReadAtCall read, void *context, uint32_t optional, PeWalk *walk)
{
    int is64 = walk->magic == PeMagic64;
    walk->signing.checkSumOffset = optional + PeCheckSumOffset;
    uint8_t word[PeDirectoryEntrySize];
    if (!read(context, optional + (is64 ? PeDirectoryCount64Offset : PeDirectoryCount32Offset), word, 4)) return;
    walk->directoryCount = GetU32(word);
    if (walk->directoryCount > PeCertificateDirectoryIndex) {
        uint32_t entry = optional + (is64 ? PeDirectories64Offset : PeDirectories32Offset) +
                         PeCertificateDirectoryIndex * PeDirectoryEntrySize;
        if (!read(context, entry, word, sizeof word)) return;
        walk->signing.directoryOffset = entry;
        walk->signing.tableOffset = GetU32(word);
        walk->signing.tableSize = GetU32(word + 4);
    }
    walk->signingRead = 1;
}

// Reads the directory entry at offset; its offset field is what the next level follows.
static int ReadDirectoryEntry(ReadAtCall read, void *context, uint32_t offset, uint32_t *next)
{
    uint8_t entry[ResourceDirectoryEntrySize];
    if (!read(context, offset, entry, sizeof entry)) return 0;
    *next = GetU32(entry + 4) & 0x7FFFFFFF;
    return 1;
}

// The size of the optional header the section table follows.
static uint32_t OptionalHeaderSize(enum OptionalHeaderRule rule, const PeWalk *walk)
{
    switch (rule) {
    case OptionalHeaderPe32: return PeOptionalHeader32Size;
    case OptionalHeaderPe32Plus: return PeOptionalHeader64Size;
    case OptionalHeaderAsDeclared: return walk->declaredOptionalHeaderSize;
    case OptionalHeaderOfMagic: break;
    }
    return walk->magic == PeMagic64 ? PeOptionalHeader64Size : PeOptionalHeader32Size;
}

int WalkPeHeaders(ReadAtCall read, void *context, enum OptionalHeaderRule rule, PeWalk *walk)
{
    memset(walk, 0, sizeof *walk);
    uint8_t header[SectionHeaderSize];  // large enough for each read below
    if (!read(context, PeHeaderPointerOffset, header, 4)) return PeWalkNothing;
    uint32_t peHeader = GetU32(header);
    uint32_t optional = peHeader + PeSignatureSize + PeFileHeaderSize;
    if (optional < peHeader || optional > 0x7FFFFFFF) return PeWalkNothing;
    // The signature, the file header and the magic; none of them is validated.
    if (!read(context, peHeader, header, PeSignatureSize + PeFileHeaderSize + 2)) return PeWalkNothing;
    walk->peHeader = peHeader;
    walk->sectionCount = GetU16(header + PeSignatureSize + 2);
    walk->declaredOptionalHeaderSize = GetU16(header + PeSignatureSize + 16);
    walk->magic = GetU16(header + PeSignatureSize + PeFileHeaderSize);
    ReadSigningPart(read, context, optional, walk);

    // The section table follows the optional header of the build's own format; the file header's
    // optional-header size is not consulted unless asked for.
    uint32_t section = optional + OptionalHeaderSize(rule, walk);
    walk->sectionTable = section;
    uint32_t i;
    for (i = 0; i < walk->sectionCount; i++) {
        if (!read(context, section + i * SectionHeaderSize, header, sizeof header)) return PeWalkHeaders;
        if (strncmp((const char *)header, ".rsrc", 8) == 0) break;  // never past the 8-byte name
    }
    if (i == walk->sectionCount) return PeWalkHeaders;
    walk->resourceSectionHeader = section + i * SectionHeaderSize;
    walk->resourceVirtualAddress = GetU32(header + 12);
    walk->resourceRawSize = GetU32(header + 16);
    walk->resourceRawData = GetU32(header + 20);

    // The first entry at each level: the layout rule makes LASTRES the only named type, so it
    // sorts first, with one name and one language under it.
    uint32_t root = walk->resourceRawData;
    uint32_t next;
    if (!ReadDirectoryEntry(read, context, root + ResourceDirectoryHeaderSize, &next) ||
        !ReadDirectoryEntry(read, context, root + ResourceDirectoryHeaderSize + next, &next) ||
        !ReadDirectoryEntry(read, context, root + ResourceDirectoryHeaderSize + next, &next) ||
        !read(context, root + next, header, ResourceDataEntrySize))
        return PeWalkResourceSection;
    walk->blockOffset = GetU32(header) - walk->resourceVirtualAddress + walk->resourceRawData;
    return walk->blockOffset <= 0x7FFFFFFF ? PeWalkBlock : PeWalkResourceSection;
}

int ReadBlockHeader(ReadAtCall read, void *context, uint32_t blockOffset, BlockHeader *header, char *title)
{
    uint8_t word[2];
    if (!read(context, blockOffset, word, LicenceLengthSize)) return BlockNothing;
    header->licenceLength = GetU16(word);
    header->titleOffset = blockOffset + LicenceLengthSize + header->licenceLength;
    header->tableOffset = header->titleOffset + TitleFieldSize + EntryCountSize;
    if (!read(context, header->titleOffset, title, TitleFieldSize)) return BlockLicenceLength;
    if (!read(context, header->titleOffset + TitleFieldSize, word, EntryCountSize)) return BlockTitle;
    header->entryCount = GetU16(word);  // read past: the terminator decides, not the count
    return BlockTable;
}

// Moves f to the block; 0 when the walk does not reach it.
static int SeekToBlock(FileHandle f, enum OptionalHeaderRule rule)
{
    PeWalk walk;
    return WalkPeHeaders(ReadAtHandle, &f, rule, &walk) == PeWalkBlock &&
           FileSeek(f, (int32_t)walk.blockOffset, SeekSet) == (int32_t)walk.blockOffset;
}

FileHandle OpenPayloadBlockAt(const char *path, enum OptionalHeaderRule rule)
{
    FileHandle f = FileOpenRead(path);
    if (f == FileError) return FileError;
    if (!SeekToBlock(f, rule)) {
        FileClose(f);
        return FileError;
    }
    return f;
}

FileHandle OpenPayloadBlock(void)
{
    FileHandle f = OwnFile();
    return f != FileError && SeekToBlock(f, OwnOptionalHeader) ? f : FileError;
}

void ReadScreenSaverTitle(char *buffer)
{
    FileHandle f = OpenPayloadBlock();
    if (f == FileError) return;
    BlockHeader header;
    char title[TitleFieldSize];
    if (ReadBlockHeader(ReadAtHandle, &f, (uint32_t)FileSeek(f, 0, SeekCur), &header, title) >= BlockTitle) {
        title[TitleFieldSize - 1] = 0;  // a field without its NUL still hands out a terminated title
        memcpy(buffer, title, sizeof title);
    }
    FileClose(f);
}

int SkipToPayloadTable(FileHandle f)
{
    BlockHeader header;
    char title[TitleFieldSize];
    int32_t block = FileSeek(f, 0, SeekCur);
    return block >= 0 && ReadBlockHeader(ReadAtHandle, &f, (uint32_t)block, &header, title) == BlockTable &&
           FileSeek(f, (int32_t)header.tableOffset, SeekSet) == (int32_t)header.tableOffset;
}

void DecodePayloadEntry(const uint8_t *raw, PayloadEntry *entry)
{
    entry->DataOffset = GetU32(raw);
    entry->StoredSize = GetU32(raw + 4);
    entry->ExpandedSize = GetU32(raw + 8);
    memcpy(entry->Extension, raw + 12, ExtensionFieldSize);
}

int ReadPayloadEntry(FileHandle f, PayloadEntry *entry)
{
    uint8_t raw[PayloadEntrySize];
    if (!FileReadAll(f, raw, sizeof raw)) {
        memset(entry, 0, sizeof *entry);
        return PayloadDamaged;
    }
    DecodePayloadEntry(raw, entry);
    return entry->StoredSize == 0 ? PayloadEnd : PayloadNext;
}

uint32_t InstalledSize(const PayloadEntry *entry)
{
    return entry->ExpandedSize ? entry->ExpandedSize : entry->StoredSize;
}
