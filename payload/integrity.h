// What the integrity record's CRC covers, and the CRC over it. Signing an installer changes three
// things the record cannot know when it is written: the optional header's CheckSum, the
// certificate-table entry of the data directories, and the certificate table appended at the end.
// So in a signed file the CRC counts those two fields as zero and stops where the certificate
// table begins, but only where that table is the file's last part and lies behind everything the
// installer reads. In every file the record's own four CRC bytes count as zero. The build writes
// CheckSum and the entry as zero, so the record holds in both states. Shared by the installer's
// pre-check and the authoring tool (build and verify); reads go through a callback, so a file, a
// stream or memory can serve.
#pragma once
#include <stdint.h>
#include "payload/block.h"  // the read-at seam, the walk of the PE headers and SigningFields

// The record right behind the table's terminator: its 8-byte tag, then the CRC. 1 and the CRC when
// the tag is there; a file without it (or with a damaged tag) has no record here. The pre-check
// refuses a file whose data leave exactly a record's room there without one.
int ReadIntegrityRecord(ReadAtCall read, void *context, uint32_t recordOffset, uint32_t *crc);

enum CertificatePlacement {
    CertificateNone = 0,        // the directory names no table
    CertificateLast,            // the table is the file's last part and lies behind the payload
    CertificatePastEnd,         // it runs past the end of the file (cut short, or a wrong entry)
    CertificateNotLast,         // bytes follow it
    CertificateInsidePayload,   // it starts before the end of the block or of some entry's data
    CertificateEmpty,           // the entry names a table of no bytes
};

enum { IntegrityHoleCount = 3, IntegrityCrcSize = 4 };

// The covered bytes are [0, end) with the holes counted as zero.
typedef struct IntegrityCoverage {
    uint32_t end;
    uint32_t holeOffset[IntegrityHoleCount];  // the record's CRC, CheckSum, the directory entry
    uint32_t holeSize[IntegrityHoleCount];    // the last two 0 unless the file is signed
} IntegrityCoverage;

// What the record is measured against, both within the file.
typedef struct IntegrityInputs {
    uint32_t payloadEnd;  // the end of the last thing the installer reads: the table, its record, every entry's data
    uint32_t crcOffset;   // where the record keeps its CRC
} IntegrityInputs;

// The inputs from the table as read: tableEnd is the offset behind its terminator (where a record
// begins), hasRecord whether one is there, dataEnd the furthest end of any entry's data.
IntegrityInputs ComposeIntegrityInputs(uint32_t tableEnd, int hasRecord, uint64_t dataEnd, uint32_t fileSize);

// Where the certificate table lies and what the CRC covers. Any placement other than None or Last
// makes the file damaged; the coverage is then the whole file.
enum CertificatePlacement CoverIntegrity(const SigningFields *fields, uint32_t fileSize, const IntegrityInputs *inputs,
                                         IntegrityCoverage *coverage);

// The CRC-32 of the covered bytes, read through read in pieces of bufferSize bytes. 1 when every
// byte could be read.
int IntegrityCrc(const IntegrityCoverage *coverage, ReadAtCall read, void *context, uint8_t *buffer,
                 uint32_t bufferSize, uint32_t *crc);
