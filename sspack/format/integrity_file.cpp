// The installer's coverage rule over the tool's files: the one verify reads, the one build writes.
#include "sspack/format/integrity_file.h"

#include <algorithm>
#include <vector>

#include "sspack/files.h"
#include "sspack/tool_error.h"

namespace {
const uint32_t CrcPiece = 1u << 20;
const uint32_t CertificateHeaderSize = 8;  // u32 length, u16 revision, u16 type

std::string Hex(uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", (unsigned long long)value);
    return text;
}
}  // namespace

int ReadAtFile(void *context, uint32_t offset, void *buffer, uint32_t size)
{
    FILE *f = static_cast<FILE *>(context);
    return SeekFile(f, offset) && std::fread(buffer, 1, size, f) == size;
}

int ReadAtInstaller(void *context, uint32_t offset, void *buffer, uint32_t size)
{
    return static_cast<InstallerFile *>(context)->ReadAt(offset, buffer, size);
}

Integrity MeasureIntegrity(const PeWalk &walk, uint64_t fileSize, const IntegrityInputs &inputs)
{
    if (fileSize > 0xFFFFFFFFu) throw ToolError("the file is larger than any installer (4 GiB or more)");
    Integrity integrity;
    integrity.headersRead = walk.signingRead != 0;
    integrity.fields = walk.signing;
    if (!integrity.headersRead) return integrity;
    integrity.placement = CoverIntegrity(&integrity.fields, (uint32_t)fileSize, &inputs, &integrity.coverage);
    return integrity;
}

uint32_t CoveredCrc(const Integrity &integrity, ReadAtCall read, void *context, const std::string &name)
{
    std::vector<uint8_t> buffer(CrcPiece);
    uint32_t crc = 0;
    if (!IntegrityCrc(&integrity.coverage, read, context, buffer.data(), CrcPiece, &crc))
        throw ToolError("cannot read " + name);
    return crc;
}

uint32_t SealedCrc(ReadAtCall read, void *context, uint64_t fileSize, uint64_t crcOffset, const std::string &name)
{
    PeWalk walk;
    WalkPeHeaders(read, context, OptionalHeaderOfMagic, &walk);
    // Before signing, the whole file is payload. (MeasureIntegrity refuses sizes past 32 bits.)
    IntegrityInputs inputs = {(uint32_t)fileSize, (uint32_t)std::min(crcOffset, fileSize)};
    Integrity integrity = MeasureIntegrity(walk, fileSize, inputs);
    if (!integrity.headersRead) throw ToolError("cannot read back " + name);
    if (integrity.placement != CertificateNone)
        throw ToolError("internal error: " + name + " names a certificate table before it is signed");
    return CoveredCrc(integrity, read, context, name);
}

std::string CertificateTableProblem(ReadAtCall read, void *context, uint32_t offset, uint32_t size, int *records)
{
    *records = 0;
    uint64_t end = (uint64_t)offset + size;
    for (uint64_t at = offset; at < end;) {
        if (end - at < CertificateHeaderSize)
            return "the table ends inside the header of its record at " + Hex(at);
        uint8_t header[CertificateHeaderSize];
        if (!read(context, (uint32_t)at, header, sizeof header)) return "the table lies outside the file";
        uint32_t length = GetU32(header);
        if (length < CertificateHeaderSize || length > end - at)
            return "its record at " + Hex(at) + " claims " + std::to_string(length) + " bytes, " +
                   std::to_string(end - at) + " are left in the table";
        ++*records;
        at += ((uint64_t)length + 7) / 8 * 8;
    }
    return "";
}
