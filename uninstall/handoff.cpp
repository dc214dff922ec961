// The handoff tail, the copy's private folder and its security; see handoff.h.
#include <string.h>
#include "core/layout.h"
#include "core/text.h"
#include "uninstall/handoff.h"
#include "uninstall/own_folder.h"
#include "uninstall/path_rules.h"

static const char PrivatePrefix[] = "UNINSTAL-";
enum { PrivateDigits = 2 * PrivateRandomSize };

static const char HexDigits[] = "0123456789abcdef";

int FormatHandoff(char *text, size_t size, uint64_t processHandle, int silent, const char *uninstallerPath)
{
    // The hex digits by hand: the system's formatting functions do not all know "%llx".
    char digits[17];
    char *start = digits + sizeof digits - 1;
    *start = 0;
    do {
        *--start = HexDigits[processHandle & 15];
        processHandle >>= 4;
    } while (processHandle);
    return FormatText(text, size, "%s %s%s", start, silent ? "/s " : "", uninstallerPath);
}

static int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int ParseHandoff(const char *text, uint64_t *processHandle, int *silent, char *uninstallerPath, size_t size)
{
    uint64_t handle = 0;
    int digits = 0;
    for (; HexValue(*text) >= 0; text++) {
        if (++digits > 16) return 0;
        handle = handle << 4 | (uint64_t)HexValue(*text);
    }
    if (digits == 0 || handle == 0 || *text != ' ') return 0;
    const char *path = text + 1;
    int quiet = path[0] == '/' && (path[1] == 's' || path[1] == 'S') && path[2] == ' ';
    if (quiet) path += 3;
    if (!IsPlainAbsolutePath(path)) return 0;
    const char *name = strrchr(path, '\\') + 1;
    if (!SamePathText(name, UninstallerName)) return 0;
    char folder[PathSize], title[PathSize];
    if (!FolderOfPath(path, folder, sizeof folder) || !TitleOfDataFolder(folder, title, sizeof title)) return 0;
    if (!CopyText(uninstallerPath, size, path)) return 0;
    *processHandle = handle;
    *silent = quiet;
    return 1;
}

int ComposePrivateFolder(const char *tempFolder, const unsigned char random[PrivateRandomSize], char *folder,
                         size_t size)
{
    char digits[PrivateDigits + 1];
    for (int i = 0; i < PrivateRandomSize; i++) {
        digits[2 * i] = HexDigits[random[i] >> 4];
        digits[2 * i + 1] = HexDigits[random[i] & 15];
    }
    digits[PrivateDigits] = 0;
    size_t n = strlen(tempFolder);
    if (n == 0 || tempFolder[n - 1] != '\\') {
        CopyText(folder, size, "");
        return 0;
    }
    return FormatText(folder, size, "%s%s%s\\", tempFolder, PrivatePrefix, digits);
}

int IsPrivateCopyPath(const char *ownPath, const char *tempFolder)
{
    size_t n = strlen(tempFolder);
    if (n == 0 || tempFolder[n - 1] != '\\' || !IsPlainAbsolutePath(ownPath) || !SamePathPrefix(ownPath, tempFolder, n))
        return 0;
    const char *rest = ownPath + n;
    size_t prefix = sizeof PrivatePrefix - 1;
    if (!SamePathPrefix(rest, PrivatePrefix, prefix)) return 0;
    rest += prefix;
    for (int i = 0; i < PrivateDigits; i++) {
        if (HexValue(rest[i]) < 0) return 0;
    }
    rest += PrivateDigits;
    return rest[0] == '\\' && SamePathText(rest + 1, UninstallerName);
}

// "S-1-" and then only digits and single dashes: nothing that the descriptor language would read
// as more than one SID.
static int IsSidText(const char *sid)
{
    if (strncmp(sid, "S-1-", 4) != 0) return 0;
    size_t n = strlen(sid);
    if (n > 184 || sid[n - 1] == '-') return 0;
    for (size_t i = 4; i < n; i++) {
        if (sid[i] == '-' ? sid[i - 1] == '-' : (sid[i] < '0' || sid[i] > '9')) return 0;
    }
    return 1;
}

int ComposePrivateFolderSecurity(const char *userSid, char *text, size_t size)
{
    if (!IsSidText(userSid)) {
        CopyText(text, size, "");
        return 0;
    }
    // P: protected, so nothing of the temp folder's entries is inherited; OICI: the copy inside
    // gets the same entries and label.
    return FormatText(text, size, "D:P(A;OICI;FA;;;%s)(A;OICI;FA;;;BA)S:(ML;OICI;NW;;;HI)", userSid);
}
