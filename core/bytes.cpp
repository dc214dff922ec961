// Little-endian field access; see bytes.h.
#include "core/bytes.h"

uint32_t GetU16(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8;
}

uint32_t GetU32(const uint8_t *p)
{
    return GetU16(p) | GetU16(p + 2) << 16;
}

void PutU16(uint8_t *p, uint32_t value)
{
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
}

void PutU32(uint8_t *p, uint32_t value)
{
    PutU16(p, value);
    PutU16(p + 2, value >> 16);
}
