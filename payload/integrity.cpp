// The integrity record's coverage. The optional header's layout is taken from its magic, as a
// signer takes it; the installer's reader assumes its own build's format, but a file whose magic
// was changed fails the CRC anyway, since the magic itself is covered.
#include <string.h>
#include "core/bytes.h"
#include "payload/block.h"
#include "payload/crc32.h"
#include "payload/integrity.h"


int ReadSigningFields(ReadAtCall read, void *context, SigningFields *fields)
{
    memset(fields, 0, sizeof *fields);
    uint8_t word[4];
    if (!read(context, PeHeaderPointerOffset, word, sizeof word)) return 0;
    uint32_t optional = GetU32(word) + PeSignatureSize + PeFileHeaderSize;
    if (optional < GetU32(word) || optional > 0x7FFFFFFF) return 0;
    uint8_t magic[2];
    if (!read(context, optional, magic, sizeof magic)) return 0;
    int is64 = GetU16(magic) == PeMagic64;
    fields->checkSumOffset = optional + PeCheckSumOffset;

    uint8_t count[4];
    if (!read(context, optional + (is64 ? PeDirectoryCount64Offset : PeDirectoryCount32Offset), count, sizeof count))
        return 0;
    if (GetU32(count) <= PeCertificateDirectoryIndex) return 1;  // no entry for a certificate table
    uint32_t entry = optional + (is64 ? PeDirectories64Offset : PeDirectories32Offset) +
                     PeCertificateDirectoryIndex * PeDirectoryEntrySize;
    uint8_t raw[PeDirectoryEntrySize];
    if (!read(context, entry, raw, sizeof raw)) return 0;
    fields->directoryOffset = entry;
    fields->tableOffset = GetU32(raw);
    fields->tableSize = GetU32(raw + 4);
    return 1;
}

enum CertificatePlacement CoverIntegrity(const SigningFields *fields, uint32_t fileSize, uint32_t payloadEnd,
                                         uint32_t crcOffset, IntegrityCoverage *coverage)
{
    coverage->end = fileSize;
    coverage->holeOffset[0] = crcOffset;
    coverage->holeSize[0] = IntegrityCrcSize;
    coverage->holeOffset[1] = fields->checkSumOffset;
    coverage->holeSize[1] = 0;
    coverage->holeOffset[2] = fields->directoryOffset;
    coverage->holeSize[2] = 0;

    if (fields->tableOffset == 0 && fields->tableSize == 0) return CertificateNone;
    uint64_t tableEnd = (uint64_t)fields->tableOffset + fields->tableSize;
    if (tableEnd > fileSize) return CertificatePastEnd;
    if (tableEnd < fileSize) return CertificateNotLast;
    if (fields->tableSize == 0) return CertificateEmpty;
    if (fields->tableOffset < payloadEnd) return CertificateInsidePayload;
    // Only a signed file leaves the signer's two fields out: an unsigned one is covered as
    // installers were before signing was thought of, whatever CheckSum their stub carried.
    coverage->end = fields->tableOffset;
    coverage->holeSize[1] = PeCheckSumSize;
    coverage->holeSize[2] = PeDirectoryEntrySize;
    return CertificateLast;
}

int IntegrityCrc(const IntegrityCoverage *coverage, ReadAtCall read, void *context, uint8_t *buffer,
                 uint32_t bufferSize, uint32_t *crc)
{
    if (bufferSize == 0) return 0;
    uint32_t value = 0;
    for (uint32_t at = 0; at < coverage->end;) {
        uint32_t want = coverage->end - at < bufferSize ? coverage->end - at : bufferSize;
        if (!read(context, at, buffer, want)) return 0;
        // The holes count as zero wherever they fall in this piece.
        for (int h = 0; h < IntegrityHoleCount; h++) {
            uint64_t from = coverage->holeOffset[h], to = from + coverage->holeSize[h];
            if (from < at) from = at;
            if (to > (uint64_t)at + want) to = (uint64_t)at + want;
            if (from < to) memset(buffer + (from - at), 0, (size_t)(to - from));
        }
        value = Crc32Update(value, buffer, want);
        at += want;
    }
    *crc = value;
    return 1;
}
