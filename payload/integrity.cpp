// The integrity record's coverage. The optional header's layout is taken from its magic, as a
// signer takes it; the installer's reader assumes its own build's format, but a file whose magic
// was changed fails the CRC anyway, since the magic itself is covered.
#include <string.h>
#include "core/bytes.h"
#include "payload/block.h"
#include "payload/crc32.h"
#include "payload/integrity.h"

int ReadIntegrityRecord(ReadAtCall read, void *context, uint32_t recordOffset, uint32_t *crc)
{
    uint8_t record[IntegrityRecordSize];
    if (!read(context, recordOffset, record, sizeof record) || memcmp(record, IntegrityTag, IntegrityTagSize) != 0)
        return 0;
    *crc = GetU32(record + IntegrityTagSize);
    return 1;
}

IntegrityInputs ComposeIntegrityInputs(uint32_t tableEnd, int hasRecord, uint64_t dataEnd, uint32_t fileSize)
{
    uint64_t payloadEnd = (uint64_t)tableEnd + (hasRecord ? IntegrityRecordSize : 0);
    if (dataEnd > payloadEnd) payloadEnd = dataEnd;
    uint64_t crcOffset = (uint64_t)tableEnd + IntegrityTagSize;
    IntegrityInputs inputs;
    inputs.payloadEnd = (uint32_t)(payloadEnd < fileSize ? payloadEnd : fileSize);
    inputs.crcOffset = (uint32_t)(crcOffset < fileSize ? crcOffset : fileSize);
    return inputs;
}

enum CertificatePlacement CoverIntegrity(const SigningFields *fields, uint32_t fileSize, const IntegrityInputs *inputs,
                                         IntegrityCoverage *coverage)
{
    coverage->end = fileSize;
    coverage->holeOffset[0] = inputs->crcOffset;
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
    if (fields->tableOffset < inputs->payloadEnd) return CertificateInsidePayload;
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
