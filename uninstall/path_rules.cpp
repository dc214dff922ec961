// The deletion rules for INSTALL.LOG lines; see path_rules.h.
#include <string.h>
#include "core/layout.h"
#include "uninstall/path_rules.h"

static unsigned char FoldCase(unsigned char c)
{
    if (c >= 'a' && c <= 'z') return (unsigned char)(c - 'a' + 'A');
    // Windows-1252 accented small letters sit 0x20 above their capitals; 0xF7 is the division sign.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return (unsigned char)(c - 0x20);
    return c;
}

int SamePathPrefix(const char *text, const char *prefix, size_t prefixLength)
{
    for (size_t i = 0; i < prefixLength; i++) {
        if (text[i] == 0 || FoldCase((unsigned char)text[i]) != FoldCase((unsigned char)prefix[i])) return 0;
    }
    return 1;
}

int SamePathText(const char *a, const char *b)
{
    size_t n = strlen(b);
    return strlen(a) == n && SamePathPrefix(a, b, n);
}

int IsPlainAbsolutePath(const char *path)
{
    size_t length = strnlen(path, PathSize);
    if (length < 4 || length >= PathSize) return 0;
    unsigned char drive = FoldCase((unsigned char)path[0]);
    if (drive < 'A' || drive > 'Z' || path[1] != ':' || path[2] != '\\') return 0;
    for (size_t i = 3; i < length; i++) {
        if (path[i] != '\\' && ForbiddenNameByte((unsigned char)path[i])) return 0;
    }
    const char *name = path + 3;
    for (;;) {
        const char *end = strchr(name, '\\');
        size_t n = end ? (size_t)(end - name) : strlen(name);
        // Windows drops trailing dots and blanks, so such a name would reach a different file than
        // the one checked here; the installer's title rule says which names are plain.
        if (!PathNameUsable(name, n)) return 0;
        if (!end) return 1;
        name = end + 1;
    }
}

// Length of folder without its closing backslash, or 0 when it is not a usable absolute folder.
static size_t FolderLength(const char *folder)
{
    size_t n = strnlen(folder, PathSize);
    if (n >= PathSize) return 0;
    while (n > 3 && folder[n - 1] == '\\') n--;
    return n >= 3 ? n : 0;
}

// 1 when path names an entry directly inside folder (not in one of its subfolders).
static int DirectlyInside(const char *path, const char *folder)
{
    size_t n = FolderLength(folder);
    if (n == 0 || !SamePathPrefix(path, folder, n)) return 0;
    if (folder[n - 1] != '\\') {  // a drive root keeps its backslash
        if (path[n] != '\\') return 0;
        n++;
    }
    return path[n] != 0 && strchr(path + n, '\\') == nullptr;
}

PathVerdict ClassifyLogPath(const char *path, const char *ownFolder, const char *windowsDir,
                            const char *screenSaverFile, const char *screenSaverShort)
{
    if (!IsPlainAbsolutePath(path)) return PathMalformed;
    if (DirectlyInside(path, ownFolder)) return PathInOwnFolder;
    if (DirectlyInside(path, windowsDir)) {
        const char *name = strrchr(path, '\\') + 1;
        if (SamePathText(name, screenSaverFile) || (screenSaverShort[0] && SamePathText(path, screenSaverShort)))
            return PathScreenSaver;
    }
    return PathOutside;
}
