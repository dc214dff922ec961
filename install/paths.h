// What the installation writes beyond the layout's names: the destinations from its shared values
// and the uninstall entry's values. Each call returns 1 when the whole result fit.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "core/layout.h"
#include "payload/block.h"

// Where entry number index goes, composed by the layout from the installation's shared values:
// 0 ScreenSaverPath; 1 DataFolder + title + ".dat"; 2 DataFolder + UNINSTAL.EXE; 3 and up
// DataFolder + FILEnnnn + the entry's extension.
int EntryDestination(int index, const PayloadEntry *entry, char *destination, size_t size);

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
