// The uninstaller's Windows steps, in the order main_win.cpp runs them.
#pragma once
#include "core/layout.h"
#include "uninstall/report.h"

// Screen savers removed from the Windows directory, in both path forms, so that system.ini's entry
// can be recognised whichever form it holds.
enum { RemovedSaverLimit = 8 };
struct RemovedSavers {
    unsigned count;
    char longPath[RemovedSaverLimit][PathSize];
    char shortPath[RemovedSaverLimit][PathSize];
};

// Deletes every allowed file that the log lists, except the uninstaller itself and the log.
void RemoveListedFiles(const char *logPath, const char *ownFolder, const char *ownPath, const char *title,
                       RemovalReport *report, RemovedSavers *savers);
// Deletes the installer's values under the uninstall key and the key when nothing else is left in
// it, but only when the key's UninstallString names ownPath.
enum UninstallEntryResult {
    UninstallEntryRemoved,  // gone, or there was none
    UninstallEntryLeft,     // ours, but its values could not be deleted
    UninstallEntryForeign,  // it names another program: left alone
};
enum UninstallEntryResult RemoveUninstallEntry(const char *title, const char *ownPath);
// Clears system.ini's SCRNSAVE.EXE when it names one of the removed screen savers.
void ClearActiveScreenSaver(const RemovedSavers *savers);
// Deletes one file, read-only or not; 1 when it is gone afterwards.
int DeleteListedFile(const char *path);

// Starts the copy that deletes ownPath after this process has ended; when no copy can be started,
// schedules the deletion for the next system start instead. 0 when neither could be arranged.
int StartSelfRemoval(const char *ownPath);
// The copy's work: returns the process exit code.
int RunHandoff(const char *handoff);
