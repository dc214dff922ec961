// The title rule and the installed names; see layout.h.
#include <string.h>
#include "core/layout.h"
#include "core/text.h"

const char UninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char UninstallerName[] = "UNINSTAL.EXE";
const char LogName[] = "INSTALL.LOG";
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
        if (c < 0x20 || strchr("\\/:*?\"<>|", c)) return TitleForbiddenByte;
    }
    if ((length == 1 && title[0] == '.') || (length == 2 && title[0] == '.' && title[1] == '.')) return TitleDotName;
    if (title[length - 1] == '.' || title[length - 1] == ' ') return TitleTrailingDot;
    if (IsDeviceName(title, length)) return TitleDeviceName;
    return TitleSound;
}

int ComposeUninstallKey(const char *title, char *key, size_t size)
{
    return FormatText(key, size, "%s\\%s", UninstallRoot, title);
}
