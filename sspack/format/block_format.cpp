// Composition of the block; field widths and the terminator come from the reader's own constants.
#include "sspack/format/block_format.h"

#include <cstring>

#include "payload/crc32.h"

uint64_t BlockSize(size_t licenceLength, size_t entryCount, bool integrityRecord)
{
    return (uint64_t)TableOffsetWithoutLicence + licenceLength + (uint64_t)(entryCount + 1) * PayloadEntrySize +
           (integrityRecord ? IntegrityRecordSize : 0);
}

namespace {

void EncodePayloadEntry(const PayloadEntry &entry, uint8_t *raw)
{
    Bytes fields(12);
    PutU32(fields, 0, entry.DataOffset);
    PutU32(fields, 4, entry.StoredSize);
    PutU32(fields, 8, entry.ExpandedSize);
    std::memcpy(raw, fields.data(), 12);
    std::memcpy(raw + 12, entry.Extension, ExtensionFieldSize);
}

}  // namespace

Bytes ComposeBlock(const std::string &licence, const std::string &title, const std::vector<PayloadEntry> &entries,
                   bool integrityRecord)
{
    Bytes block;
    AppendU16(block, (uint16_t)licence.size());
    block.insert(block.end(), licence.begin(), licence.end());
    size_t titleAt = block.size();
    block.resize(titleAt + TitleFieldSize, 0);
    std::memcpy(block.data() + titleAt, title.data(), title.size() < TitleFieldSize ? title.size() : TitleFieldSize - 1);
    AppendU16(block, (uint16_t)entries.size());
    for (const PayloadEntry &entry : entries) {
        uint8_t raw[PayloadEntrySize];
        EncodePayloadEntry(entry, raw);
        block.insert(block.end(), raw, raw + PayloadEntrySize);
    }
    block.resize(block.size() + PayloadEntrySize, 0);  // the terminator
    if (integrityRecord) {
        block.insert(block.end(), IntegrityTag, IntegrityTag + IntegrityTagSize);
        block.resize(block.size() + 4, 0);
    }
    return block;
}
