// Byte-wise table CRC-32 (reflected polynomial 0xEDB88320). The table is built on first use, so
// the function needs no initialisation call and no static constructor.
#include "payload/crc32.h"

static uint32_t CrcTable[256];
static int CrcTableReady;

static void BuildCrcTable(void)
{
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        CrcTable[n] = c;
    }
    CrcTableReady = 1;
}

uint32_t Crc32Update(uint32_t crc, const void *data, size_t size)
{
    if (!CrcTableReady) BuildCrcTable();
    const uint8_t *p = (const uint8_t *)data;
    crc = ~crc;
    while (size--) crc = CrcTable[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

const char IntegrityTag[IntegrityTagSize] = {'S', 'S', 'C', 'R', 'C', '3', '2', 0};
