// The handoff text "<handle in hex> <path>"; see handoff.h.
#include <string.h>
#include "core/text.h"
#include "uninstall/handoff.h"
#include "uninstall/own_folder.h"
#include "uninstall/path_rules.h"

const char HandoffVariable[] = "VISTAWORKS_UNINSTALL_HANDOFF";

int FormatHandoff(char *text, size_t size, uint64_t processHandle, const char *uninstallerPath)
{
    // The hex digits by hand: the system's formatting functions do not all know "%llx".
    char digits[17];
    char *start = digits + sizeof digits - 1;
    *start = 0;
    do {
        *--start = "0123456789abcdef"[processHandle & 15];
        processHandle >>= 4;
    } while (processHandle);
    return FormatText(text, size, "%s %s", start, uninstallerPath);
}

static int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int ParseHandoff(const char *text, uint64_t *processHandle, char *uninstallerPath, size_t size)
{
    uint64_t handle = 0;
    int digits = 0;
    for (; HexValue(*text) >= 0; text++) {
        if (++digits > 16) return 0;
        handle = handle << 4 | (uint64_t)HexValue(*text);
    }
    if (digits == 0 || handle == 0 || *text != ' ') return 0;
    const char *path = text + 1;
    if (!IsPlainAbsolutePath(path)) return 0;
    const char *name = strrchr(path, '\\') + 1;
    if (!SamePathText(name, UninstallerName)) return 0;
    char folder[260], title[260];
    if (!FolderOfPath(path, folder, sizeof folder) || !TitleOfDataFolder(folder, title, sizeof title)) return 0;
    if (!CopyText(uninstallerPath, size, path)) return 0;
    *processHandle = handle;
    return 1;
}
