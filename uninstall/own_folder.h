// The uninstaller's own folder, as the installer lays it out, and the uninstall entry it
// registers for it: the uninstaller finds its screen saver's title and uninstall key from its own
// folder alone, and deletes the entry only when the entry names it.
#pragma once
#include <stddef.h>
#include "core/layout.h"

// The folder of path, with its closing backslash. 0 when path has no backslash or it does not fit.
int FolderOfPath(const char *path, char *folder, size_t size);

// ownFolder must be ...\Quilmark LLC\Vistaworks\<title>\ (the closing backslash may be missing);
// gives the title. 0 when the folder is laid out otherwise, the title does not fit or is one the
// installer refuses (its key would name another entry than the folder it came from).
int TitleOfDataFolder(const char *ownFolder, char *title, size_t size);

// 1 when the uninstall entry's UninstallString names this uninstaller (ownPath, long form), quoted
// and alone or, as installations made before wrote it, bare: only then are its values and key ours
// to delete. Another program's entry under the same name stays.
int UninstallEntryIsOwn(const char *uninstallString, const char *ownPath);
enum { UninstallCommandSize = PathSize + 2 };  // an UninstallString read back: the path and its quotes
