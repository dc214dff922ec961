// The payload's installed total and the rule that compares it with the free space.
#include "payload/block.h"
#include "payload/checks.h"

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
