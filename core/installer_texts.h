// Every text the installer shows or writes, German but for the licence dialog's template, in the
// ANSI code page 1252, and the bounded compositions that fill them in. The dialog templates keep
// their own texts in the resource script. Kept apart from the windows that show them, so every
// text and every limit can be tried on the host.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "core/fatal.h"

enum {
    NumberTextSize = 32,      // a formatted number
    MessageTextSize = 512,    // every composed message
    InstallCaptionSize = 256,
};

// "<title> Bildschirmschoner": the backdrop's heading, the progress dialog's title line and the
// uninstall entry's display name. Cut to the buffer; 1 when it fit.
int ComposeSaverName(const char *title, char *text, size_t size);
// "Installation des Bildschirmschoners <title>", cut to the buffer.
int ComposeInstallCaption(const char *title, char *caption, size_t size);

// The decimal text of value with a comma after every three digits from the right. Every value is
// taken as unsigned, so sizes of 2 GiB and more never show a minus sign. Returns buffer.
char *FormatThousands(uint32_t value, char *buffer /* NumberTextSize bytes */);

// ---- The sequence and the checks before installing ------------------------------------------------
extern const char ReplaceCaption[];     // "Bildschirmschoner überschreiben?"
extern const char DiskFullCaption[];    // "Datenträger voll"
int ComposeInformationMessage(const char *title, const char *windowsDirectory, const char *sizeText, char *message,
                              size_t size);
int ComposeReplaceQuestion(const char *name, char *message, size_t size);
int ComposeDiskSpaceQuestion(uint32_t requiredKB, uint32_t freeKB, char *message, size_t size);

// ---- The progress dialog and the registration -----------------------------------------------------
extern const char CancelQuestion[];
extern const char CancelCaption[];
extern const char AccessDeniedText[];   // shown with FatalCaption
extern const char PublisherText[];      // the uninstall entry's Publisher

// ---- The finishing steps: messages A to D of the Flash Player check -------------------------------
extern const char FlashCaption[];       // messages A and C
extern const char FlashOutdatedText[];  // message C
extern const char DownloadFailedText[]; // message B
extern const char FinishedText[];       // message D
extern const char FlashPlayerDownloadPage[];
// Message A: the player is missing, with the offer to download it.
int ComposeFlashMissingText(char *message, size_t size);

// ---- The fatal stop ---------------------------------------------------------------------------------
extern const char FatalCaption[];  // "Fehler!!!"
// The message for a kind; path is used by FatalShortWrite and FatalForeignFolder only. Returns 1 when it fit.
int ComposeFatalText(enum FatalKind kind, const char *path, char *buffer, size_t size);
