// What one uninstall run did, collected while it works, and the German texts it shows. The lists of
// paths are bounded: what does not fit is counted and mentioned as "weitere".
#pragma once
#include <stddef.h>

enum { ReportListSize = 1024 };

struct RemovalReport {
    int logMissing;         // INSTALL.LOG could not be opened
    unsigned removed;       // files deleted or already gone
    unsigned failed;        // allowed files that could not be deleted (they stay)
    unsigned skipped;       // lines outside the allowed places or malformed (their files stay)
    unsigned outside;       // of those, well-formed paths elsewhere: perhaps its own, named as the
                            // installer named them while this run was started under another spelling
    unsigned damaged;       // lines too long or holding control bytes
    int registrationLeft;   // the uninstall entry or the log could not be removed
    int registrationForeign;  // the uninstall entry of this name starts another program: left alone
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

// 1 when nothing the log lists is left behind (and the log was there to say so).
int RemovalComplete(const RemovalReport *report);
// Files that may still be removed by a second run (one that could not be deleted, or one outside
// its places, which a run started as the installer named the uninstaller may find its own; a second
// drive letter, a \\?\ prefix or a junction all spell its folder differently): then the log, the
// uninstall entry and the uninstaller stay so that the run can be repeated.
int RemovalMustBeRepeated(const RemovalReport *report);

// The question asked before anything is removed and the closing message; both give 1 when they fit.
int ComposeQuestion(const char *title, char *text, size_t size);
int ComposeResultMessage(const RemovalReport *report, const char *title, char *text, size_t size);

extern const char UninstallCaption[];   // "Bildschirmschoner entfernen"
extern const char MisplacedMessage[];   // the uninstaller is not in an installed data folder
