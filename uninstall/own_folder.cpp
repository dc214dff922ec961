// The uninstaller's own folder and entry as the installer laid them out; see own_folder.h.
#include <string.h>
#include "core/text.h"
#include "uninstall/own_folder.h"
#include "uninstall/path_rules.h"

int FolderOfPath(const char *path, char *folder, size_t size)
{
    const char *slash = strrchr(path, '\\');
    if (!slash || (size_t)(slash - path) + 2 > size) {
        if (size) folder[0] = 0;
        return 0;
    }
    size_t n = (size_t)(slash - path) + 1;
    memcpy(folder, path, n);
    folder[n] = 0;
    return 1;
}

// The name before end (exclusive) back to the previous backslash: start and length.
static int NameBefore(const char *text, size_t end, size_t *start)
{
    size_t i = end;
    while (i > 0 && text[i - 1] != '\\') i--;
    if (i == 0 || i == end) return 0;
    *start = i;
    return 1;
}

int TitleOfDataFolder(const char *ownFolder, char *title, size_t size)
{
    if (size) title[0] = 0;
    size_t end = strlen(ownFolder);
    if (end && ownFolder[end - 1] == '\\') end--;
    size_t titleStart, productStart, companyStart;
    if (!NameBefore(ownFolder, end, &titleStart)) return 0;
    if (!NameBefore(ownFolder, titleStart - 1, &productStart)) return 0;
    if (!NameBefore(ownFolder, productStart - 1, &companyStart)) return 0;
    size_t productLength = titleStart - 1 - productStart;
    size_t companyLength = productStart - 1 - companyStart;
    if (productLength != sizeof ProductFolder - 1 ||
        !SamePathPrefix(ownFolder + productStart, ProductFolder, productLength))
        return 0;
    if (companyLength != sizeof VendorFolder - 1 ||
        !SamePathPrefix(ownFolder + companyStart, VendorFolder, companyLength))
        return 0;
    size_t titleLength = end - titleStart;
    if (titleLength + 1 > size || TitleFaultOf(ownFolder + titleStart, titleLength) != TitleSound) return 0;
    memcpy(title, ownFolder + titleStart, titleLength);
    title[titleLength] = 0;
    return 1;
}

int UninstallEntryIsOwn(const char *uninstallString, const char *ownPath)
{
    if (ownPath[0] == 0) return 0;
    // Installations made before the string was quoted wrote the bare path.
    if (uninstallString[0] != '"') return SamePathText(uninstallString, ownPath);
    size_t n = strlen(ownPath);
    return SamePathPrefix(uninstallString + 1, ownPath, n) && uninstallString[n + 1] == '"' &&
           uninstallString[n + 2] == 0;
}
