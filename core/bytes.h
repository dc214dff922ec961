// Little-endian fields, the byte order of every format the programs read and write (PE headers,
// the payload block, the integrity record). The one place that spells out the shifts.
#pragma once
#include <stdint.h>

uint32_t GetU16(const uint8_t *p);
uint32_t GetU32(const uint8_t *p);
void PutU16(uint8_t *p, uint32_t value);
void PutU32(uint8_t *p, uint32_t value);
