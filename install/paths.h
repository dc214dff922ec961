// Composition of every path and key the installation writes to, bounded by its buffer. Each call
// returns 1 when the whole result fit; a cut result is never used as a destination.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "core/layout.h"
#include "payload/block.h"

enum {
    UninstallKeySize = 1024,
    FurtherFileDigits = 4,      // FILE0000 and up
    ExtensionCharacters = 15,   // the 16th byte of the Extension field is never used
};

// Where entry number index goes: 0 the screen saver at ScreenSaverPath; 1 DataFolder + title +
// ".dat"; 2 DataFolder + UNINSTAL.EXE; 3 and up DataFolder + FILEnnnn + the entry's extension.
int EntryDestination(int index, const PayloadEntry *entry, char *destination, size_t size);

// UninstallRoot + "\" + screenSaverFile, cut at the last dot: the key is named for the whole title.
int UninstallKeyForFile(const char *screenSaverFile, char *key, size_t size);

// windowsDirectory + a backslash unless it ends with one + screenSaverFile.
int ComposeScreenSaverPath(const char *windowsDirectory, const char *screenSaverFile, char *path, size_t size);

// The data folder below base (the common application-data folder), or, when base is empty, below
// windowsDirectory's All Users\Application Data: ...\Quilmark LLC\Vistaworks\<title>\.
// createDirectory is called for each level in turn (its result does not matter: existing folders
// are used); levels are created only while everything so far fit.
int ComposeDataFolder(const char *base, const char *windowsDirectory, const char *title,
                      void (*createDirectory)(const char *path), char *folder, size_t size);

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
    char installLocation[UninstallKeySize];
    char displayIcon[UninstallKeySize];
    uint32_t versionMajor, versionMinor;
};
// From the trimmed title, the uninstaller's destination and ScreenSaverPath; values point into set.
void ComposeUninstallValues(const char *title, const char *uninstallerPath, const char *screenSaverPath,
                            UninstallValues *set);

// A path without its last backslash and what follows it (the uninstaller's folder).
int ComposeInstallLocation(const char *uninstallerPath, char *location, size_t size);
