// The Flash Player decision; see flash_version.h.
#include "app/flash_version.h"

enum FlashVerdict DecideFlash(int32_t installed, int32_t required)
{
    if (installed <= 0) return FlashMissing;
    if (installed < required) return FlashOutdated;
    return FlashCurrent;
}

int32_t LeadingVersion(const char *text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) text++;
    int negative = *text == '-';
    if (*text == '-' || *text == '+') text++;
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (value > 0x80000000LL) value = 0x80000000LL;  // held at the edge: no overflow
    }
    if (negative) value = -value;
    if (value > 0x7FFFFFFF) value = 0x7FFFFFFF;
    return (int32_t)value;
}
