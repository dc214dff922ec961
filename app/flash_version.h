// The Flash Player check's decision over the installed and the required major version, portable so
// that the unit tests run it; its messages are in core/installer_texts.h.
#pragma once
#include <stdint.h>

enum FlashVerdict { FlashMissing, FlashOutdated, FlashCurrent };
// The decision over the installed major version (-1: unknown) and the one the movie asks for.
enum FlashVerdict DecideFlash(int32_t installed, int32_t required);
// The leading integer of a version string, as atoi reads it; no digits give 0.
int32_t LeadingVersion(const char *text);
