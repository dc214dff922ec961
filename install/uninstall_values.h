// The uninstall entry's seven values, as the installation registers them from its shared values.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "core/layout.h"

// The uninstall entry's seven values exactly as they go to the registry: texts with their
// terminating zero counted, numbers as four bytes. Types are the registry's own numbers.
enum { ValueText = 1, ValueExpandText = 2, ValueNumber = 4 };
struct UninstallValue {
    const char *name;
    uint32_t type;
    const void *data;
    uint32_t size;
};
struct UninstallValues {
    UninstallValue value[UninstallValueCount];
    char displayName[UninstallKeySize];
    char uninstallString[UninstallKeySize];
    char installLocation[UninstallKeySize];
    char displayIcon[UninstallKeySize];
    uint32_t versionMajor, versionMinor;
};
// From the trimmed title, the uninstaller's destination and ScreenSaverPath; values point into set.
void ComposeUninstallValues(const char *title, const char *uninstallerPath, const char *screenSaverPath,
                            UninstallValues *set);

// A path without its last backslash and what follows it (the uninstaller's folder).
int ComposeInstallLocation(const char *uninstallerPath, char *location, size_t size);
