// The installer's own texts and the bounded composition of its messages, kept apart from the
// windows that show them so that every limit can be tried on the host.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum {
    NumberTextSize = 32,      // a formatted number
    MessageTextSize = 512,    // every composed message
    InstallCaptionSize = 256,
    FreeSpaceRootSize = 32,   // the drive path the free space is asked for
};

extern const char ReplaceCaption[];     // "Bildschirmschoner überschreiben?"
extern const char DiskFullCaption[];    // "Datenträger voll"

// The decimal text of value with a comma after every three digits from the right. Every value is
// taken as unsigned, so sizes of 2 GiB and more never show a minus sign. Returns buffer.
char *FormatThousands(uint32_t value, char *buffer /* NumberTextSize bytes */);

// Length of the title without its trailing blanks (0x20 only; tabs and the like stay).
size_t TrimmedTitleLength(const char *title, size_t size);
// Cuts the trailing blanks off in place.
void TrimTitle(char *title, size_t size);

// "Installation des Bildschirmschoners <title>", cut to the buffer.
int ComposeInstallCaption(const char *title, char *caption, size_t size);
// 'a'..'z' to 'A'..'Z' in place; every other byte, accented letters included, stays.
void UpperCaseAscii(char *text);
int ComposeInformationMessage(const char *title, const char *windowsDirectory, const char *sizeText, char *message,
                              size_t size);

// The replace question's name: the installer file's name without its extension, plus ".SCR".
// Only a dot in the file name itself counts, not one in a folder name.
int ExistingScreenSaverName(const char *ownPath, char *name, size_t size);
int ComposeReplaceQuestion(const char *name, char *message, size_t size);
int ComposeDiskSpaceQuestion(uint32_t requiredKB, uint32_t freeKB, char *message, size_t size);

// The folder whose free space stands for the drive: the path up to its last backslash (C:\WINDOWS
// gives C:\). A path too long for the work buffer gives its drive's root (C:\ or \\server\share\).
void FreeSpaceRoot(const char *path, char *root /* FreeSpaceRootSize bytes */);
