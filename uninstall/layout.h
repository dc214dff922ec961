// Where the installer puts the uninstaller and what it registers under which name: the uninstaller
// finds its screen saver's title and uninstall key from its own folder alone.
#pragma once
#include <stddef.h>

extern const char UninstallerFileName[];  // "UNINSTAL.EXE"
extern const char InstallLogFileName[];   // "INSTALL.LOG"
extern const char UninstallKeyBase[];     // the uninstall entries' key under HKEY_LOCAL_MACHINE
enum { UninstallValueCount = 7 };
extern const char *const UninstallValueNames[UninstallValueCount];  // the values the installer writes

// The folder of path, with its closing backslash. 0 when path has no backslash or it does not fit.
int FolderOfPath(const char *path, char *folder, size_t size);

// ownFolder must be ...\Quilmark LLC\Vistaworks\<title>\ (the closing backslash may be missing);
// gives the title. 0 when the folder is laid out otherwise or the title does not fit.
int TitleOfDataFolder(const char *ownFolder, char *title, size_t size);

// "Software\...\Uninstall\<title>". 0 when it does not fit.
int ComposeUninstallKey(const char *title, char *key, size_t size);

// 1 when the uninstaller's arguments ask for the silent run ("/s", also "-s", any case).
int WantsSilentRun(const char *arguments);
