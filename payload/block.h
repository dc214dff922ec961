// The payload block inside the installer's own file and the reader that finds it by walking the PE
// headers and the resource directory itself, without the system's resource functions.
#pragma once
#include <stdint.h>
#include "core/fileio.h"

// Layout of the block; all integers little-endian, no padding.
enum {
    LicenceLengthSize = 2,
    TitleFieldSize = 260,
    EntryCountSize = 2,
    PayloadEntrySize = 28,
    ExtensionFieldSize = 16,
    TableOffsetWithoutLicence = LicenceLengthSize + TitleFieldSize + EntryCountSize,  // 264
    MaxLicenceLength = 65535,
};

// PE layout the reader relies on.
enum {
    PeHeaderPointerOffset = 0x3C,
    PeSignatureSize = 4,
    PeFileHeaderSize = 20,
    PeOptionalHeader32Size = 224,  // PE32 with 16 data directories
    PeOptionalHeader64Size = 240,  // PE32+ with 16 data directories
    PeMagic32 = 0x10B,
    PeMagic64 = 0x20B,
    // Inside the optional header (offsets from its first byte, the magic).
    PeCheckSumOffset = 64,             // CheckSum, at the same place in both formats
    PeCheckSumSize = 4,
    PeDirectoryCount32Offset = 92,     // NumberOfRvaAndSizes
    PeDirectoryCount64Offset = 108,
    PeDirectories32Offset = 96,        // the data directories, 8 bytes each: RVA (or offset) and size
    PeDirectories64Offset = 112,
    PeDirectoryEntrySize = 8,
    PeResourceDirectoryIndex = 2,
    PeCertificateDirectoryIndex = 4,   // the certificate table: a file offset, not an RVA
    SectionHeaderSize = 40,
    ResourceDirectoryHeaderSize = 16,
    ResourceDirectoryEntrySize = 8,
    ResourceDataEntrySize = 16,
    OwnPathSize = 256,  // the reader fetches its own path into this many characters
};

typedef struct PayloadEntry {
    uint32_t DataOffset;    // absolute offset of the data in the installer file
    uint32_t StoredSize;    // bytes at DataOffset; 0 marks the terminator
    uint32_t ExpandedSize;  // 0: stored as is; otherwise a compressed stream expanding to this many bytes
    char Extension[ExtensionFieldSize];  // ".SCR" and so on, blank-padded, not terminated
} PayloadEntry;

// Opens the running program's own file positioned at the first byte of the block, or returns
// FileError when it cannot be reached. The caller closes the handle.
FileHandle OpenPayloadBlock(void);

// The same for any installer file. optionalHeaderSize is the build's own (224 or 240), or 0 to take
// it from the file's optional-header magic (the authoring tool's way).
FileHandle OpenPayloadBlockAt(const char *path, uint32_t optionalHeaderSize);

// The file offset of the block in an open installer file; 1 when it could be found.
int LocatePayloadBlock(FileHandle f, uint32_t optionalHeaderSize, uint32_t *blockOffset);

// Copies the 260-byte Title field into buffer (at least TitleFieldSize bytes), always terminated
// inside the field; leaves buffer unchanged when the block cannot be reached.
void ReadScreenSaverTitle(char *buffer);

// Moves a handle standing at the block start past LicenceLength, the licence text, the title and
// EntryCount to the first table record. Returns 1, or 0 when the file ends first.
int SkipToPayloadTable(FileHandle f);

enum PayloadRead { PayloadDamaged = -1, PayloadEnd = 0, PayloadNext = 1 };

// Reads the next 28-byte record. PayloadNext: an entry; PayloadEnd: the terminator (StoredSize 0);
// PayloadDamaged: the file ended inside or before the record, so the table has no terminator.
int ReadPayloadEntry(FileHandle f, PayloadEntry *entry);

// Decodes a raw 28-byte record.
void DecodePayloadEntry(const uint8_t *raw, PayloadEntry *entry);

// The installed size of an entry: ExpandedSize when set, else StoredSize.
uint32_t InstalledSize(const PayloadEntry *entry);
