// CRC-32 with the IEEE polynomial, as zlib computes it: start with 0 and feed the data in any
// number of pieces. Portable C-style, so the installer's own pre-check and the authoring tool share it.
#pragma once
#include <stddef.h>
#include <stdint.h>

uint32_t Crc32Update(uint32_t crc, const void *data, size_t size);

// The integrity record the authoring tool writes right behind the table's terminator: the tag
// "SSCRC32" with its NUL, then the CRC-32 of the whole file taken with these four bytes as zero.
enum { IntegrityTagSize = 8, IntegrityRecordSize = 12 };
extern const char IntegrityTag[IntegrityTagSize];
