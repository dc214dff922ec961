// The portable side of the checks before installing, over the file layer (fuzzed and unit-tested
// on the host): the structural and integrity check of an installer file, and the payload's
// installed total with the rule that compares it with the free space.
#include <string.h>
#include "core/fileio.h"
#include "core/layout.h"
#include "lzh/decoder.h"  // MaxExpandedSize
#include "payload/block.h"
#include "payload/check_payload.h"
#include "payload/checks.h"
#include "payload/crc32.h"
#include "payload/integrity.h"

enum { CrcBlockSize = 64 * 1024 };

static uint8_t CrcBlock[CrcBlockSize];  // static: the installer's stack stays small

// The record's CRC against the file, the certificate table, where signing appended one, left out.
static enum PayloadFault CheckIntegrity(int file, const PeWalk *walk, uint32_t fileSize, const IntegrityInputs *inputs,
                                        uint32_t recorded)
{
    if (!walk->signingRead) return PayloadChecksumWrong;
    IntegrityCoverage coverage;
    enum CertificatePlacement placement = CoverIntegrity(&walk->signing, fileSize, inputs, &coverage);
    if (placement != CertificateNone && placement != CertificateLast) return PayloadCertificateMisplaced;
    uint32_t computed;
    if (!IntegrityCrc(&coverage, ReadAtHandle, &file, CrcBlock, sizeof CrcBlock, &computed)) return PayloadChecksumWrong;
    return computed == recorded ? PayloadSound : PayloadChecksumWrong;
}

// The pre-check only asks whether the data folder's path fits; it creates no folder.
static void CreateNothing(const char *) {}

// Every destination the installation will write, composed by the layout as the installation
// composes them, here into locals: the installation's own values are not set yet.
static enum PayloadFault DestinationFault(const char *title, const char *windowsDirectory,
                                          const char *applicationData, int file, uint32_t tableOffset)
{
    char screenSaverFile[PathSize];
    char screenSaverPath[PathSize];
    char dataFolder[PathSize];
    if (!ComposeScreenSaverFile(title, screenSaverFile, sizeof screenSaverFile) ||
        !ComposeScreenSaverPath(windowsDirectory, screenSaverFile, screenSaverPath, sizeof screenSaverPath))
        return PayloadPathTooLong;
    char logPath[PathSize];
    if (!ComposeDataFolder(applicationData, windowsDirectory, title, CreateNothing, dataFolder, sizeof dataFolder) ||
        !ComposeLogPath(dataFolder, logPath, sizeof logPath))  // a log not opened would lose every line
        return PayloadPathTooLong;

    int fit = FileSeek(file, (int32_t)tableOffset, SeekSet) == (int32_t)tableOffset;
    PayloadEntry entry;
    char destination[PathSize];
    for (int index = 0; fit && ReadPayloadEntry(file, &entry) == PayloadNext; index++) {
        if (index >= FirstFurtherEntry && !ExtensionFieldUsable(entry.Extension)) return PayloadBadExtension;
        fit = ComposeEntryDestination(index, title, entry.Extension, screenSaverPath, dataFolder, destination,
                                      sizeof destination);
    }
    return fit ? PayloadSound : PayloadPathTooLong;
}

enum PayloadFault InspectWalkedPayload(FileHandle file, int reach, const PeWalk *walk, const char *windowsDirectory,
                                       const char *applicationData)
{
    if (reach != PeWalkBlock) return PayloadUnreachable;
    int32_t end = FileSeek(file, 0, SeekEnd);
    if (end < 0) return PayloadUnreachable;
    uint32_t fileSize = (uint32_t)end;

    BlockHeader header;
    char title[TitleFieldSize];
    if (ReadBlockHeader(ReadAtHandle, &file, walk->blockOffset, &header, title) != BlockTable) return PayloadTableCut;
    title[TitleFieldSize - 1] = 0;  // as the title reader hands it out

    uint32_t tableOffset = header.tableOffset;
    if (FileSeek(file, (int32_t)tableOffset, SeekSet) != (int32_t)tableOffset) return PayloadTableCut;
    // The whole table first: a file cut inside it is reported as such, not by the entries before.
    PayloadEntry entry;
    int read;
    enum PayloadFault entryFault = PayloadSound;
    uint64_t dataEnd = 0;
    uint32_t dataStart = UINT32_MAX;
    while ((read = ReadPayloadEntry(file, &entry)) == PayloadNext) {
        if (entryFault != PayloadSound) continue;
        uint64_t end = (uint64_t)entry.DataOffset + entry.StoredSize;
        if (end > fileSize) entryFault = PayloadDataOutside;
        else if (entry.ExpandedSize > MaxExpandedSize) entryFault = PayloadSizeTooLarge;
        if (end > dataEnd) dataEnd = end;
        if (entry.DataOffset < dataStart) dataStart = entry.DataOffset;
    }
    if (read != PayloadEnd) return PayloadTableCut;
    if (entryFault != PayloadSound) return entryFault;
    // A table read from the wrong place (bytes inserted before it) often finds zero padding, which
    // reads as a terminator: such a file would install nothing and report success.
    if (dataEnd == 0) return PayloadNoEntries;
    int32_t recordOffset = FileSeek(file, 0, SeekCur);

    uint32_t titleLength = (uint32_t)TrimmedTitleLength(title, sizeof title);
    if (TitleFaultOf(title, titleLength) != TitleSound) return PayloadBadTitle;
    title[titleLength] = 0;
    enum PayloadFault destinationFault = DestinationFault(title, windowsDirectory, applicationData, file, tableOffset);
    if (destinationFault != PayloadSound) return destinationFault;

    // The record behind the terminator, where there is one; without it the structure must do.
    uint32_t recorded;
    if (recordOffset < 0) return PayloadSound;
    if (!ReadIntegrityRecord(ReadAtHandle, &file, (uint32_t)recordOffset, &recorded)) {
        // Room for a record between the table and the data, but no tag in it: the record was
        // damaged or pushed aside by inserted bytes, and the data offsets are no longer to be trusted.
        return dataStart == (uint64_t)recordOffset + IntegrityRecordSize ? PayloadRecordDamaged : PayloadSound;
    }
    IntegrityInputs inputs = ComposeIntegrityInputs((uint32_t)recordOffset, 1, dataEnd, fileSize);
    return CheckIntegrity(file, walk, fileSize, &inputs, recorded);
}

enum PayloadFault InspectOpenPayload(FileHandle file, enum OptionalHeaderRule rule, const char *windowsDirectory,
                                     const char *applicationData)
{
    PeWalk walk;
    int reach = WalkPeHeaders(ReadAtHandle, &file, rule, &walk);
    return InspectWalkedPayload(file, reach, &walk, windowsDirectory, applicationData);
}

enum PayloadFault InspectPayload(const char *path, enum OptionalHeaderRule rule, const char *windowsDirectory,
                                 const char *applicationData)
{
    int file = FileOpenRead(path);
    if (file == FileError) return PayloadUnreachable;
    enum PayloadFault fault = InspectOpenPayload(file, rule, windowsDirectory, applicationData);
    FileClose(file);
    return fault;
}

enum FatalKind FatalKindOfFault(enum PayloadFault fault)
{
    return fault == PayloadOwnPathTooLong ? FatalOwnPathTooLong : FatalDamagedInstaller;
}

int SumInstalledSizes(FileHandle block, uint32_t *total)
{
    *total = 0;
    if (!SkipToPayloadTable(block)) return 0;
    PayloadEntry entry;
    int read;
    while ((read = ReadPayloadEntry(block, &entry)) == PayloadNext) *total += InstalledSize(&entry);
    return read == PayloadEnd;
}

int DiskSpaceSuffices(uint32_t freeKB, uint32_t requiredBytes)
{
    return freeKB > requiredBytes >> 10;
}
