// The self-locating payload reader. Every step checks its read and gives up with FileError
// otherwise, so a damaged file never leads to a read at an invented offset; beyond that the
// headers are trusted, as the installers built by the authoring tool lay them out.
#include <string.h>
#include "core/bytes.h"
#include "payload/block.h"

#if defined(_WIN32)
static const uint32_t OwnOptionalHeaderSize = PeOptionalHeader32Size;
#else
static const uint32_t OwnOptionalHeaderSize = 0;  // the host reads installers of either kind
#endif


static int SeekTo(FileHandle f, uint32_t offset)
{
    return offset <= 0x7FFFFFFF && FileSeek(f, (int32_t)offset, SeekSet) == (int32_t)offset;
}

// Reads the directory entry at offset; its offset field is what the next level follows.
static int ReadDirectoryEntry(FileHandle f, uint32_t offset, uint32_t *next)
{
    uint8_t entry[ResourceDirectoryEntrySize];
    if (!SeekTo(f, offset) || !FileReadAll(f, entry, sizeof entry)) return 0;
    *next = GetU32(entry + 4) & 0x7FFFFFFF;
    return 1;
}

int LocatePayloadBlock(FileHandle f, uint32_t optionalHeaderSize, uint32_t *blockOffset)
{
    uint8_t word[4];
    if (!SeekTo(f, PeHeaderPointerOffset) || !FileReadAll(f, word, 4)) return 0;
    uint32_t peHeader = GetU32(word);

    uint8_t headers[PeSignatureSize + PeFileHeaderSize + 2];
    if (!SeekTo(f, peHeader) || !FileReadAll(f, headers, sizeof headers)) return 0;
    uint32_t sectionCount = GetU16(headers + PeSignatureSize + 2);
    if (optionalHeaderSize == 0) {
        uint32_t magic = GetU16(headers + PeSignatureSize + PeFileHeaderSize);
        optionalHeaderSize = magic == PeMagic64 ? PeOptionalHeader64Size : PeOptionalHeader32Size;
    }

    // The section table follows the optional header of the build's own format; the file header's
    // optional-header size is not consulted.
    uint32_t section = peHeader + PeSignatureSize + PeFileHeaderSize + optionalHeaderSize;
    uint8_t header[SectionHeaderSize];
    uint32_t i;
    for (i = 0; i < sectionCount; i++) {
        if (!SeekTo(f, section + i * SectionHeaderSize) || !FileReadAll(f, header, sizeof header))
            return 0;
        if (strncmp((const char *)header, ".rsrc", 8) == 0) break;  // never past the 8-byte name
    }
    if (i == sectionCount) return 0;
    uint32_t virtualAddress = GetU32(header + 12);
    uint32_t rawData = GetU32(header + 20);

    // The first entry at each level: the layout rule makes LASTRES the only named type, so it
    // sorts first, with one name and one language under it.
    uint32_t root = rawData;
    uint32_t next;
    if (!ReadDirectoryEntry(f, root + ResourceDirectoryHeaderSize, &next)) return 0;
    if (!ReadDirectoryEntry(f, root + ResourceDirectoryHeaderSize + next, &next)) return 0;
    if (!ReadDirectoryEntry(f, root + ResourceDirectoryHeaderSize + next, &next)) return 0;

    uint8_t data[ResourceDataEntrySize];
    if (!SeekTo(f, root + next) || !FileReadAll(f, data, sizeof data)) return 0;
    *blockOffset = GetU32(data) - virtualAddress + rawData;
    return *blockOffset <= 0x7FFFFFFF;
}

FileHandle OpenPayloadBlockAt(const char *path, uint32_t optionalHeaderSize)
{
    FileHandle f = FileOpenRead(path);
    if (f == FileError) return FileError;
    uint32_t block;
    if (!LocatePayloadBlock(f, optionalHeaderSize, &block) || !SeekTo(f, block)) {
        FileClose(f);
        return FileError;
    }
    return f;
}

FileHandle OpenPayloadBlock(void)
{
    char path[OwnPathSize];
    if (!OwnFilePath(path, sizeof path)) return FileError;
    return OpenPayloadBlockAt(path, OwnOptionalHeaderSize);
}

void ReadScreenSaverTitle(char *buffer)
{
    FileHandle f = OpenPayloadBlock();
    if (f == FileError) return;
    uint8_t length[LicenceLengthSize];
    char title[TitleFieldSize];
    if (FileReadAll(f, length, sizeof length) && FileSeek(f, (int32_t)GetU16(length), SeekCur) != -1 &&
        FileReadAll(f, title, sizeof title)) {
        title[TitleFieldSize - 1] = 0;  // a field without its NUL still hands out a terminated title
        memcpy(buffer, title, sizeof title);
    }
    FileClose(f);
}

int SkipToPayloadTable(FileHandle f)
{
    uint8_t word[2];
    if (!FileReadAll(f, word, sizeof word)) return 0;
    if (FileSeek(f, (int32_t)(GetU16(word) + TitleFieldSize), SeekCur) == -1) return 0;
    return FileReadAll(f, word, sizeof word);  // EntryCount: the terminator decides, not the count
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
