// Path and key composition of the installation, portable so every limit is tested on the host.
#include <string.h>
#include "core/state.h"
#include "core/text.h"
#include "install/paths.h"

static int FurtherFileName(int index, const PayloadEntry *entry, char *destination, size_t size)
{
    char extension[ExtensionCharacters + 1];
    size_t n = 0;
    while (n < ExtensionCharacters && entry->Extension[n]) {
        extension[n] = entry->Extension[n];
        n++;
    }
    // Blank padding of the field (and an extension of blanks only) leaves no trace in the path.
    while (n && extension[n - 1] == ' ') n--;
    extension[n] = 0;
    return FormatText(destination, size, "%sFILE%0*d%s", DataFolder, FurtherFileDigits, index - 3, extension);
}

int EntryDestination(int index, const PayloadEntry *entry, char *destination, size_t size)
{
    switch (index) {
    case 0:
        return CopyText(destination, size, ScreenSaverPath);
    case 1:
        return FormatText(destination, size, "%s%s.dat", DataFolder, ScreenSaverTitle);
    case 2:
        return FormatText(destination, size, "%s%s", DataFolder, UninstallerName);
    }
    return index > 2 && FurtherFileName(index, entry, destination, size);
}

int UninstallKeyForFile(const char *screenSaverFile, char *key, size_t size)
{
    int fit = FormatText(key, size, "%s\\%s", UninstallRoot, screenSaverFile);
    char *dot = strrchr(key, '.');
    if (dot) *dot = 0;
    return fit;
}

int ComposeScreenSaverPath(const char *windowsDirectory, const char *screenSaverFile, char *path, size_t size)
{
    int fit = CopyText(path, size, windowsDirectory);
    fit = fit && AppendBackslash(path, size);
    return fit && AppendText(path, size, screenSaverFile);
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
    fit = fit && AddLevel(folder, size, "Quilmark LLC", createDirectory) &&
          AddLevel(folder, size, "Vistaworks", createDirectory) && AddLevel(folder, size, title, createDirectory);
    // AppendBackslash would accept a cut folder that happens to end in one; append unconditionally.
    return fit && AppendText(folder, size, "\\");
}

int ComposeInstallLocation(const char *uninstallerPath, char *location, size_t size)
{
    int fit = CopyText(location, size, uninstallerPath);
    char *slash = strrchr(location, '\\');
    if (slash) *slash = 0;
    return fit;
}

enum { VersionMajorValue = 7, VersionMinorValue = 0 };
static const char Publisher[] = "Erstellt mit Quilmark's Vistaworks";

static void SetValue(UninstallValue *value, int index, uint32_t type, const void *data, uint32_t size)
{
    value->name = UninstallValueNames[index];
    value->type = type;
    value->data = data;
    value->size = size;
}

void ComposeUninstallValues(const char *title, const char *uninstallerPath, const char *screenSaverPath,
                            UninstallValues *set)
{
    // Cut texts are still written (failures are silent); their size follows what is in the buffer.
    FormatText(set->displayName, sizeof set->displayName, "%s Bildschirmschoner", title);
    ComposeInstallLocation(uninstallerPath, set->installLocation, sizeof set->installLocation);
    FormatText(set->displayIcon, sizeof set->displayIcon, "%s,-0", screenSaverPath);
    set->versionMajor = VersionMajorValue;
    set->versionMinor = VersionMinorValue;
    UninstallValue *v = set->value;
    SetValue(&v[0], 0, ValueText, set->displayName, (uint32_t)strlen(set->displayName) + 1);
    SetValue(&v[1], 1, ValueExpandText, uninstallerPath, (uint32_t)strlen(uninstallerPath) + 1);
    SetValue(&v[2], 2, ValueExpandText, set->installLocation, (uint32_t)strlen(set->installLocation) + 1);
    SetValue(&v[3], 3, ValueText, set->displayIcon, (uint32_t)strlen(set->displayIcon) + 1);
    SetValue(&v[4], 4, ValueText, Publisher, (uint32_t)sizeof Publisher);
    SetValue(&v[5], 5, ValueNumber, &set->versionMajor, 4);
    SetValue(&v[6], 6, ValueNumber, &set->versionMinor, 4);
}
