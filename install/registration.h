// Ties the installed screen saver into the system: the uninstall entry, the data folder and the
// active-screen-saver setting.
#pragma once

// Probes write access to the uninstall key (creating it). 0 after the access-denied message has
// been shown (in either mode), 1 otherwise: other failures do not stop the installation.
int CheckUninstallAccess(void);

// ScreenSaverPath from the Windows directory; 1 when it fit.
int SetScreenSaverPath(void);

// DataFolder and its directories, one level at a time, each new one administrators' alone
// (install/folder_trust.h); 1 when the folder fit. A folder of the chain that others can change
// (or a link in its place) is a fatal stop naming it, before anything is written into it.
int CreateDataFolder(void);

// Before the first entry, nothing but the uninstall key's probe and the folders exists: removes the
// key when the probe made it and every folder this run made (each only while it is empty).
void RemoveWhatWasCreated(void);

// The seven values of the uninstall entry; failures are silent.
void WriteUninstallValues(const char *uninstallerPath);

// system.ini's [boot] SCRNSAVE.EXE = the short path, and screen saving switched on.
void ActivateScreenSaver(void);
