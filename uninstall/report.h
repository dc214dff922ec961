// What one uninstall run did, collected while it works, and the German texts it shows. The lists of
// paths are bounded: what does not fit is counted and mentioned as "weitere".
#pragma once
#include <stddef.h>

enum { ReportListSize = 1024, ReportPathSize = 260 };

struct RemovalReport {
    int logMissing;         // INSTALL.LOG is not there
    int logUnreadable;      // INSTALL.LOG could not be opened (another program holds it) or read whole
    unsigned removed;       // files deleted or already gone
    unsigned failed;        // allowed files that could not be deleted or are still there (they stay)
    unsigned skipped;       // lines outside the allowed places or malformed (their files stay)
    unsigned outside;       // of those, well-formed paths elsewhere: perhaps its own, named as the
                            // installer named them while this run was started under another spelling
    unsigned damaged;       // lines too long or holding control bytes
    char cutLine[ReportPathSize];  // the last line, without its line end, naming no file: perhaps cut
    int logLeft;            // the log could not be deleted
    int registrationLeft;   // the uninstall entry could not be removed
    int registrationForeign;  // the uninstall entry of this name starts another program: left alone
    int uninstallerScheduled;  // the uninstaller's own file goes at the next start of Windows
    char uninstallerLeft[ReportPathSize];  // the uninstaller's own file, when nothing could remove it
    char failedList[ReportListSize];  // one path per line
    unsigned failedListed;
    char skippedList[ReportListSize];
    unsigned skippedListed;
};

void ResetReport(RemovalReport *report);
void NoteRemoved(RemovalReport *report);
void NoteFailed(RemovalReport *report, const char *path);
void NoteSkipped(RemovalReport *report, const char *path);
void NoteOutside(RemovalReport *report, const char *path);  // skipped, and counted as outside
void NoteDamaged(RemovalReport *report);
void NoteCut(RemovalReport *report, const char *line);

// 1 when something the log names may still exist: a log that could not be read whole (or is not
// there), a file still there, a line outside its places (a run started as the installer named the
// uninstaller may find it its own: a second drive letter, a \\?\ prefix or a junction all spell its
// folder differently), a malformed, damaged or cut line (it may hide the name of a file that stays).
// Then the log, the uninstall entry and the uninstaller stay so that the run can be repeated.
int RemovalMustBeRepeated(const RemovalReport *report);
// 1 when nothing the log lists is left behind, and the log, the entry and the uninstaller are gone
// or (the uninstaller's own file) on their way.
int RemovalComplete(const RemovalReport *report);

// The question asked before anything is removed and the closing message; both give 1 when they fit.
int ComposeQuestion(const char *title, char *text, size_t size);
int ComposeResultMessage(const RemovalReport *report, const char *title, char *text, size_t size);
// What the copy that removes the uninstaller says when the file outlasted its attempts: scheduled
// for the next start of Windows, or not even that.
int ComposeLateRemovalMessage(const char *uninstallerPath, int scheduled, char *text, size_t size);

extern const char UninstallCaption[];   // "Bildschirmschoner entfernen"
extern const char MisplacedMessage[];   // the uninstaller is not in an installed data folder
