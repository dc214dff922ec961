// The uninstall entry's values, portable so every limit is tested on the host.
#include <string.h>
#include "core/installer_texts.h"
#include "core/text.h"
#include "install/uninstall_values.h"

int ComposeInstallLocation(const char *uninstallerPath, char *location, size_t size)
{
    int fit = CopyText(location, size, uninstallerPath);
    char *slash = strrchr(location, '\\');
    if (slash) *slash = 0;
    return fit;
}

enum { VersionMajorValue = 7, VersionMinorValue = 0 };

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
    ComposeSaverName(title, set->displayName, sizeof set->displayName);
    // Quoted: the system runs this string, and unquoted it would try each blank-ended start of the
    // path as a program first ("C:\ProgramData\Quilmark.exe"), and pass the rest as arguments.
    FormatText(set->uninstallString, sizeof set->uninstallString, "\"%s\"", uninstallerPath);
    ComposeInstallLocation(uninstallerPath, set->installLocation, sizeof set->installLocation);
    FormatText(set->displayIcon, sizeof set->displayIcon, "%s,-0", screenSaverPath);
    set->versionMajor = VersionMajorValue;
    set->versionMinor = VersionMinorValue;
    UninstallValue *v = set->value;
    SetValue(&v[0], 0, ValueText, set->displayName, (uint32_t)strlen(set->displayName) + 1);
    SetValue(&v[1], 1, ValueExpandText, set->uninstallString, (uint32_t)strlen(set->uninstallString) + 1);
    SetValue(&v[2], 2, ValueExpandText, set->installLocation, (uint32_t)strlen(set->installLocation) + 1);
    SetValue(&v[3], 3, ValueText, set->displayIcon, (uint32_t)strlen(set->displayIcon) + 1);
    SetValue(&v[4], 4, ValueText, PublisherText, (uint32_t)strlen(PublisherText) + 1);
    SetValue(&v[5], 5, ValueNumber, &set->versionMajor, 4);
    SetValue(&v[6], 6, ValueNumber, &set->versionMinor, 4);
}
