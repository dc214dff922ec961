// Message texts and their composition for the checks and the sequence.
#include <string.h>
#include "core/layout.h"
#include "core/text.h"
#include "payload/messages.h"

const char ReplaceCaption[] = "Bildschirmschoner überschreiben?";
const char DiskFullCaption[] = "Datenträger voll";

char *FormatThousands(uint32_t value, char *buffer)
{
    char digits[12];
    int n = 0;
    do {
        digits[n++] = (char)('0' + value % 10);
        value /= 10;
    } while (value);
    // digits holds the number from the right; copy it back with a comma after every third one.
    char reversed[NumberTextSize];
    int out = 0;
    for (int i = 0; i < n; i++) {
        reversed[out++] = digits[i];
        if (i % 3 == 2 && i + 1 < n) reversed[out++] = ',';
    }
    for (int i = 0; i < out; i++) buffer[i] = reversed[out - 1 - i];
    buffer[out] = 0;
    return buffer;
}

size_t TrimmedTitleLength(const char *title, size_t size)
{
    return TrimmedLength(title, strnlen(title, size));
}

void TrimTitle(char *title, size_t size)
{
    size_t n = strnlen(title, size);
    size_t keep = TrimmedTitleLength(title, size);
    while (n > keep) title[--n] = 0;
}

int ComposeInstallCaption(const char *title, char *caption, size_t size)
{
    return FormatText(caption, size, "Installation des Bildschirmschoners %s", title);
}

void UpperCaseAscii(char *text)
{
    for (; *text; text++)
        if (*text >= 'a' && *text <= 'z') *text = (char)(*text - 'a' + 'A');
}

int ComposeInformationMessage(const char *title, const char *windowsDirectory, const char *sizeText, char *message,
                              size_t size)
{
    return FormatText(message, size,
                      "Dieses Programm installiert %s Bildschirmschoner nach %s und macht diesen zu Ihrem "
                      "Standard-Bildschirmschoner. Die Installation benötigt %s Byte.",
                      title, windowsDirectory, sizeText);
}

int ExistingScreenSaverName(const char *ownPath, char *name, size_t size)
{
    const char *slash = strrchr(ownPath, '\\');
    const char *file = slash ? slash + 1 : ownPath;
    const char *dot = strrchr(file, '.');
    size_t length = dot ? (size_t)(dot - file) : strlen(file);
    return FormatText(name, size, "%.*s.SCR", (int)length, file) && length > 0;
}

int ComposeReplaceQuestion(const char *name, char *message, size_t size)
{
    return FormatText(message, size,
                      "Auf Ihrem Computer ist bereits ein Bildschirmschoner mit dem Namen %s vorhanden. "
                      "Soll dieser ersetzt werden?",
                      name);
}

int ComposeDiskSpaceQuestion(uint32_t requiredKB, uint32_t freeKB, char *message, size_t size)
{
    char required[NumberTextSize];
    char available[NumberTextSize];
    return FormatText(message, size,
                      "Sie benötigen zur Installation dieses Bildschirmschoners %s KB freien Festplattenspeicher "
                      "im Windows-Verzeichnis. Ihr Laufwerk hat %s KB freien Speicher. Soll die Installation "
                      "trotzdem fortgesetzt werden?",
                      FormatThousands(requiredKB, required), FormatThousands(freeKB, available));
}

// The end of a drive's root: "X:\" or the backslash after \\server\share; 0 when there is none.
static size_t DriveRootLength(const char *path)
{
    if (path[0] && path[1] == ':') return path[2] == '\\' ? 3 : 2;
    if (path[0] == '\\' && path[1] == '\\') {
        int slashes = 0;
        for (size_t i = 2; path[i]; i++)
            if (path[i] == '\\' && ++slashes == 2) return i + 1;
    }
    return 0;
}

void FreeSpaceRoot(const char *path, char *root)
{
    size_t n = strlen(path);
    if (n >= FreeSpaceRootSize) {
        n = DriveRootLength(path);
        // A root too long itself: what fits up to its last backslash still names a folder on it.
        if (n == 0 || n >= FreeSpaceRootSize) n = FreeSpaceRootSize - 1;
    }
    memcpy(root, path, n);
    root[n] = 0;
    char *slash = strrchr(root, '\\');
    if (slash) slash[1] = 0;
}
