// The checks before anything is written: an existing screen saver of the installer's name, and
// room on the drive of the Windows directory. Each returns 1 to go on and 0 when the user gave up.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "core/fileio.h"

struct HINSTANCE__;
typedef struct HINSTANCE__ *HINSTANCE;

// Asks (interactive mode only) before a screen saver named like the installer file is replaced.
int CheckExistingScreenSaver(HINSTANCE instance);

// Sets *requiredBytes to the payload's installed total (0 when the payload cannot be opened) and asks
// in either mode when the drive has no more KB free than that.
int CheckDiskSpace(uint32_t *requiredBytes);

// The free space available to the caller on the drive of path, in KB; 0xFFFFFFFF when unknown.
uint32_t GetFreeDiskSpaceKB(const char *path);
enum { FreeSpaceUnknown = 0xFFFFFFFFu };

// ---- Portable (checks.cpp) -----------------------------------------------------------------------
enum { FreeSpaceRootSize = 32 };  // the drive path the free space is asked for

// The replace question's name: the installer file's name without its extension, plus ".SCR".
// Only a dot in the file name itself counts, not one in a folder name.
int ExistingScreenSaverName(const char *ownPath, char *name, size_t size);

// The folder whose free space stands for the drive: the path up to its last backslash (C:\WINDOWS
// gives C:\). A path too long for the work buffer gives its drive's root (C:\ or \\server\share\).
void FreeSpaceRoot(const char *path, char *root /* FreeSpaceRootSize bytes */);

// The two rules below live with the pre-check (check_payload.cpp).
// Sums the installed sizes (modulo 2^32) over the table of a handle standing at the block start.
// Returns 1 at the terminator, 0 when the file ends first (the total so far is kept).
int SumInstalledSizes(FileHandle block, uint32_t *total);

// The question's rule: more KB free than needed goes on; an unknown free space never asks.
int DiskSpaceSuffices(uint32_t freeKB, uint32_t requiredBytes);
