// The integrity record from the authoring tool's side: the CRC the build seals and the coverage
// and certificate table that verify reports. The coverage itself is the installer's own
// (payload/integrity.h), measured from a walk of the headers already made; here the CRC is taken
// over the tool's files.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "payload/integrity.h"
#include "sspack/format/byte_io.h"
#include "sspack/format/installer_file.h"

// A signer pads the file to this multiple before it appends the certificate table; the build
// pads its output so, to keep that padding out of the covered bytes.
const uint64_t SignerAlignment = 8;

// Readers for ReadAtCall: context is a FILE * opened for reading, or an InstallerFile *.
int ReadAtFile(void *context, uint32_t offset, void *buffer, uint32_t size);
int ReadAtInstaller(void *context, uint32_t offset, void *buffer, uint32_t size);

struct Integrity {
    bool headersRead = false;  // false: the PE headers end early; nothing else is set
    SigningFields fields{};
    CertificatePlacement placement = CertificateNone;
    IntegrityCoverage coverage{};
};

// Where the certificate table lies and what the CRC covers, from the signing fields of a walk of
// the headers already made. Throws ToolError for a file of 4 GiB or more.
Integrity MeasureIntegrity(const PeWalk &walk, uint64_t fileSize, const IntegrityInputs &inputs);

// The CRC over the coverage; throws ToolError naming the file when it cannot be read.
uint32_t CoveredCrc(const Integrity &integrity, ReadAtCall read, void *context, const std::string &name);

// The CRC the record of a just-built, unsigned installer holds.
uint32_t SealedCrc(ReadAtCall read, void *context, uint64_t fileSize, uint64_t crcOffset, const std::string &name);

// What is wrong with the certificate table's records (each a u32 length, counting its 8-byte
// header, then revision and type, the next one 8-aligned; together they fill the table), or
// empty. records receives their number. The certificates inside are not judged.
std::string CertificateTableProblem(ReadAtCall read, void *context, uint32_t offset, uint32_t size, int *records);
