// The uninstaller's Windows steps, in the order main_win.cpp runs them.
#pragma once
#include <windows.h>
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

// INSTALL.LOG, opened once for the whole run: others may read it, nobody may write, rename or
// delete it meanwhile, and the run itself may delete it in the end (DELETE access). When another
// program holds it so that this is refused, the report says it could not be read; when it is not
// there, that it is missing. INVALID_HANDLE_VALUE then.
HANDLE OpenHeldLog(const char *logPath, RemovalReport *report);
// Deletes every allowed file that the log lists, except the uninstaller itself and the log, and
// checks afterwards that none of them is still there. A log that cannot be read whole deletes
// nothing.
void RemoveListedFiles(HANDLE log, const char *logPath, const char *ownFolder, const char *ownPath,
                       const char *title, RemovalReport *report, RemovedSavers *savers);
// Marks the held log to be deleted when its handle closes (or takes the mark back); 1 on success.
int MarkLogForDeletion(HANDLE log, const char *logPath, int deleteIt);
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
// 1 when nothing is at path (the file and its folder may be missing); any other answer counts as there.
int FileIsGone(const char *path);

// The long form of path (a short 8.3 one as the system may hand it); the path itself when it has none.
int LongPathOf(const char *path, char *longPath, DWORD size);
// The temp folder, long, with its closing backslash.
int LongTempFolder(char *folder, DWORD size);

// Starts the copy that deletes ownPath after this process has ended, written from ownFile (the
// held own file) into a private folder of the temp folder; when no copy can be started, schedules
// the deletion for the next system start instead.
enum SelfRemoval { SelfRemovalStarted, SelfRemovalScheduled, SelfRemovalFailed };
enum SelfRemoval StartSelfRemoval(HANDLE ownFile, const char *ownPath, int silent);
// The copy's work, ownPath its own path in the private folder: returns the process exit code.
int RunHandoff(const char *handoff, const char *ownPath);
