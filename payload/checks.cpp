// The portable pieces of the checks' windows: the name the replace question looks for, and the
// folder the free space is asked for.
#include <string.h>
#include "core/text.h"
#include "payload/checks.h"

int ExistingScreenSaverName(const char *ownPath, char *name, size_t size)
{
    const char *slash = strrchr(ownPath, '\\');
    const char *file = slash ? slash + 1 : ownPath;
    const char *dot = strrchr(file, '.');
    size_t length = dot ? (size_t)(dot - file) : strlen(file);
    return FormatText(name, size, "%.*s.SCR", (int)length, file) && length > 0;
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
