// The payload block inside the installer's own file and the reader that finds it by walking the PE
// headers and the resource directory itself, without the system's resource functions. The one
// walk of the PE headers and the one reader of the block's header live here, behind a read-at
// seam, so the installer's title read, pre-check, integrity record and install walk and every
// sspack command see the same block.
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

// Which optional header the walk takes the section table to follow.
enum OptionalHeaderRule {
    OptionalHeaderPe32,        // 224 bytes, as the installer's own reader (a PE32 build) assumes
    OptionalHeaderPe32Plus,    // 240 bytes, as a PE32+ build of the reader would assume
    OptionalHeaderOfMagic,     // the standard size for the file's own magic (the authoring tool's way)
    OptionalHeaderAsDeclared,  // SizeOfOptionalHeader, as the file says (the loader's view)
};

// The optional header the installer's own reader assumes: its build's (PE32). The host reads
// installers of either kind, taking the size from the magic.
#if defined(_WIN32)
const enum OptionalHeaderRule OwnOptionalHeader = OptionalHeaderPe32;
#else
const enum OptionalHeaderRule OwnOptionalHeader = OptionalHeaderOfMagic;
#endif

// Reads size bytes at offset into buffer; 1 only when every byte arrived. A file handle, the
// tool's installer file or memory can serve.
typedef int (*ReadAtCall)(void *context, uint32_t offset, void *buffer, uint32_t size);

// ReadAtCall over the file layer; context points to a FileHandle. Offsets beyond 2 GiB fail.
int ReadAtHandle(void *context, uint32_t offset, void *buffer, uint32_t size);

// The header fields that signing changes, found from the optional header's magic.
typedef struct SigningFields {
    uint32_t checkSumOffset;   // file offset of the CheckSum field
    uint32_t directoryOffset;  // file offset of the certificate-table directory entry; 0: the header has none
    uint32_t tableOffset;      // the certificate table as that entry names it; 0 and 0: none
    uint32_t tableSize;
} SigningFields;

// What the walk of the PE headers found; each part is set once the walk has reached it.
typedef struct PeWalk {
    uint32_t peHeader;                    // from offset 0x3C
    uint32_t sectionCount;                // NumberOfSections
    uint32_t declaredOptionalHeaderSize;  // SizeOfOptionalHeader, as the file says
    uint32_t magic;                       // the optional header's first field
    uint32_t directoryCount;              // NumberOfRvaAndSizes (0 when the header ends before it)
    int signingRead;                      // 1: signing holds the fields, the header reaches that far
    SigningFields signing;
    uint32_t sectionTable;                // where the walk took the section table to begin
    uint32_t resourceSectionHeader;       // file offset of the first ".rsrc" section header
    uint32_t resourceVirtualAddress, resourceRawData, resourceRawSize;
    uint32_t blockOffset;                 // the first resource's data, as a file offset
} PeWalk;

enum PeWalkReach { PeWalkNothing = 0, PeWalkHeaders, PeWalkResourceSection, PeWalkBlock };

// Walks the headers, the section table up to the first ".rsrc" section, and the first entry at
// each level of its resource directory to the data entry the block lies at. The section table
// begins behind the optional header that rule names. Returns how far it got; the signing fields
// always come from the magic.
int WalkPeHeaders(ReadAtCall read, void *context, enum OptionalHeaderRule rule, PeWalk *walk);

// The block's header, as file offsets.
typedef struct BlockHeader {
    uint32_t licenceLength;
    uint32_t titleOffset;  // the licence text lies between the length and the title
    uint32_t entryCount;   // as written; readers go by the terminator
    uint32_t tableOffset;
} BlockHeader;

enum BlockReach { BlockNothing = 0, BlockLicenceLength, BlockTitle, BlockTable };

// Reads LicenceLength, the 260-byte Title field (into title, as stored) and EntryCount of the
// block at blockOffset. Returns how far the file holds them: BlockTable means all three.
int ReadBlockHeader(ReadAtCall read, void *context, uint32_t blockOffset, BlockHeader *header, char *title);

typedef struct PayloadEntry {
    uint32_t DataOffset;    // absolute offset of the data in the installer file
    uint32_t StoredSize;    // bytes at DataOffset; 0 marks the terminator
    uint32_t ExpandedSize;  // 0: stored as is; otherwise a compressed stream expanding to this many bytes
    char Extension[ExtensionFieldSize];  // ".SCR" and so on, blank-padded, not terminated
} PayloadEntry;

// The running program's own file, the handle held since the start (core/fileio.h), positioned at
// the first byte of the block; FileError when it is not held or the block cannot be reached. Every
// user reads through this one handle and may leave it anywhere; FileClose leaves it open.
FileHandle OpenPayloadBlock(void);

// The same for any installer file, its section table found by rule.
FileHandle OpenPayloadBlockAt(const char *path, enum OptionalHeaderRule rule);

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
