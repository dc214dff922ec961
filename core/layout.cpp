// The title rule and the installed layout; see layout.h.
#include <string.h>
#include "core/layout.h"
#include "core/text.h"

const char UninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char UninstallerName[] = "UNINSTAL.EXE";
const char LogName[] = "INSTALL.LOG";
const char VendorFolder[] = "Quilmark LLC";
const char ProductFolder[] = "Vistaworks";
const char *const UninstallValueNames[UninstallValueCount] = {
    "DisplayName", "UninstallString", "InstallLocation", "DisplayIcon", "Publisher", "VersionMajor", "VersionMinor",
};

static unsigned char UpperAscii(unsigned char c)
{
    return c >= 'a' && c <= 'z' ? (unsigned char)(c - 'a' + 'A') : c;
}

static int SameAsciiName(const char *name, size_t length, const char *upper)
{
    if (strlen(upper) != length) return 0;
    for (size_t i = 0; i < length; i++) {
        if (UpperAscii((unsigned char)name[i]) != (unsigned char)upper[i]) return 0;
    }
    return 1;
}

// Windows opens the device for these whatever extension follows and whatever blanks precede it;
// the superscript digits of Windows-1252 count as digits here as well.
static int IsDeviceName(const char *name, size_t length)
{
    static const char *const Devices[] = {"CON", "PRN", "AUX", "NUL", "CLOCK$", "CONIN$", "CONOUT$"};
    size_t base = 0;
    while (base < length && name[base] != '.') base++;
    base = TrimmedLength(name, base);
    for (const char *device : Devices) {
        if (SameAsciiName(name, base, device)) return 1;
    }
    if (base == 4 && (SameAsciiName(name, 3, "COM") || SameAsciiName(name, 3, "LPT"))) {
        unsigned char digit = (unsigned char)name[3];
        return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    }
    return 0;
}

int ControlByte(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

int ForbiddenNameByte(unsigned char c)
{
    return ControlByte(c) || strchr("\\/:*?\"<>|", c) != NULL;  // 0 never reaches strchr
}

// A name as short as an 8.3 name (a base of up to 8 characters, an extension of up to 3) holding a ~
// may be the short name made for another long name (PROGRA~1, or a hashed form with letters after
// the ~). Opened under such a name, a path reaches that file or folder instead of one of its own.
static int LooksLikeShortName(const char *name, size_t length)
{
    const char *dot = (const char *)memchr(name, '.', length);
    size_t base = dot ? (size_t)(dot - name) : length;
    if (base == 0 || base > 8 || (dot && (length - base - 1 > 3 || memchr(dot + 1, '.', length - base - 1))))
        return 0;
    return memchr(name, '~', length) != NULL;
}

size_t TrimmedLength(const char *text, size_t length)
{
    while (length && text[length - 1] == ' ') length--;
    return length;
}

int PathNameUsable(const char *name, size_t length)
{
    if (length == 0) return 0;
    if ((length == 1 && name[0] == '.') || (length == 2 && name[0] == '.' && name[1] == '.')) return 0;
    if (name[length - 1] == '.' || name[length - 1] == ' ') return 0;
    return !IsDeviceName(name, length);
}

enum TitleFault TitleFaultOf(const char *title, size_t length)
{
    if (length == 0) return TitleEmpty;
    for (size_t i = 0; i < length; i++) {
        unsigned char c = (unsigned char)title[i];
        if (ForbiddenNameByte(c)) return TitleForbiddenByte;
    }
    if (memchr(title, '%', length)) return TitlePercentSign;
    if ((length == 1 && title[0] == '.') || (length == 2 && title[0] == '.' && title[1] == '.')) return TitleDotName;
    if (title[length - 1] == '.' || title[length - 1] == ' ') return TitleTrailingDot;
    if (IsDeviceName(title, length)) return TitleDeviceName;
    if (LooksLikeShortName(title, length)) return TitleShortNameAlias;
    return TitleSound;
}

int ComposeUninstallKey(const char *title, char *key, size_t size)
{
    return FormatText(key, size, "%s\\%s", UninstallRoot, title);
}

int ComposeScreenSaverFile(const char *title, char *file, size_t size)
{
    return FormatText(file, size, "%s.scr", title);
}

int ComposeScreenSaverPath(const char *windowsDirectory, const char *screenSaverFile, char *path, size_t size)
{
    size_t n = strlen(windowsDirectory);
    const char *separator = n && windowsDirectory[n - 1] == '\\' ? "" : "\\";  // a drive root keeps its own
    return FormatText(path, size, "%s%s%s", windowsDirectory, separator, screenSaverFile);
}

// Appends a backslash and a level, then creates it if the whole folder so far fit.
static int AddLevel(char *folder, size_t size, const char *level, void (*createDirectory)(const char *))
{
    if (!AppendBackslash(folder, size) || !AppendText(folder, size, level)) return 0;
    createDirectory(folder);
    return 1;
}

int ComposeDataFolder(const char *base, const char *windowsDirectory, const char *title,
                      void (*createDirectory)(const char *path), char *folder, size_t size)
{
    int fit = CopyText(folder, size, base);
    if (!folder[0] && windowsDirectory[0]) {
        fit = CopyText(folder, size, windowsDirectory) && AddLevel(folder, size, "All Users", createDirectory) &&
              AddLevel(folder, size, "Application Data", createDirectory);
    }
    fit = fit && AddLevel(folder, size, VendorFolder, createDirectory) &&
          AddLevel(folder, size, ProductFolder, createDirectory) && AddLevel(folder, size, title, createDirectory);
    // AppendBackslash would accept a cut folder that happens to end in one; append unconditionally.
    return fit && AppendText(folder, size, "\\");
}

int ComposeLogPath(const char *dataFolder, char *path, size_t size)
{
    return FormatText(path, size, "%s%s", dataFolder, LogName);
}

int ComposeUninstallerPath(const char *dataFolder, char *path, size_t size)
{
    return FormatText(path, size, "%s%s", dataFolder, UninstallerName);
}

// The extension a further entry's name gets: the field's first 15 bytes up to a zero byte, without
// trailing blanks (the field's padding, or an extension of blanks only). Returns its length.
static size_t ExtensionOfField(const char *extensionField, char extension[ExtensionCharacters + 1])
{
    size_t n = 0;
    while (n < ExtensionCharacters && extensionField[n]) {
        extension[n] = extensionField[n];
        n++;
    }
    n = TrimmedLength(extension, n);
    extension[n] = 0;
    return n;
}

int ExtensionFieldUsable(const char *extensionField)
{
    char extension[ExtensionCharacters + 1];
    size_t n = ExtensionOfField(extensionField, extension);
    for (size_t i = 0; i < n; i++) {
        if (ForbiddenNameByte((unsigned char)extension[i])) return 0;
    }
    // Windows drops a trailing dot, so the log would name a file that is not there.
    return strstr(extension, "..") == NULL && (n == 0 || extension[n - 1] != '.');
}

// The entry's file name behind folder, in one composition so that only the whole path is bounded.
static int EntryPath(int index, const char *title, const char *extensionField, const char *folder, char *path,
                     size_t size)
{
    switch (index) {
    case 0:
        return FormatText(path, size, "%s%s.scr", folder, title);
    case 1:
        return FormatText(path, size, "%s%s.dat", folder, title);
    case 2:
        return ComposeUninstallerPath(folder, path, size);
    }
    if (index < 0) return 0;
    char extension[ExtensionCharacters + 1];
    ExtensionOfField(extensionField, extension);
    return FormatText(path, size, "%sFILE%0*d%s", folder, FurtherFileDigits, index - FirstFurtherEntry, extension);
}

int ComposeEntryFileName(int index, const char *title, const char *extensionField, char *name, size_t size)
{
    return EntryPath(index, title, extensionField, "", name, size);
}

int ComposeEntryDestination(int index, const char *title, const char *extensionField, const char *screenSaverPath,
                            const char *dataFolder, char *destination, size_t size)
{
    if (index == 0) return CopyText(destination, size, screenSaverPath);
    return EntryPath(index, title, extensionField, dataFolder, destination, size);
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
