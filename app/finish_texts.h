// The finishing steps' texts (messages A to D) and the Flash Player decision, kept apart from the
// windows that show them so that they can be tried on the host.
#pragma once
#include <stddef.h>
#include <stdint.h>

extern const char FlashCaption[];       // messages A and C
extern const char FlashOutdatedText[];  // message C
extern const char DownloadFailedText[]; // message B
extern const char FinishedText[];       // message D
extern const char FlashPlayerDownloadPage[];

// Message A: the player is missing, with the offer to download it.
int ComposeFlashMissingText(char *message, size_t size);

enum FlashVerdict { FlashMissing, FlashOutdated, FlashCurrent };
// The decision over the installed major version (-1: unknown) and the one the movie asks for.
enum FlashVerdict DecideFlash(int32_t installed, int32_t required);
// The leading integer of a version string, as atoi reads it; no digits give 0.
int32_t LeadingVersion(const char *text);
