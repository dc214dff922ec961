// The fatal stop: a failure after which the installation cannot go on safely. It shows an error box
// without owner window (in either mode) and ends the process at once with exit code 1.
#pragma once
#include <stddef.h>

enum FatalKind {
    FatalShortWrite,        // a destination took fewer bytes than it was handed; names the file
    FatalReadFailure,       // the installer's own file delivered fewer bytes than asked for
    FatalDamagedInstaller,  // the payload is damaged or incomplete (refused before anything is written)
    FatalOwnPathTooLong,    // the installer's own path is too long for it to open itself
    FatalOutOfMemory,       // the copy buffer could not be had
    FatalWindowFailed,      // the backdrop, the licence or the progress dialog could not be opened
    FatalForeignFolder,     // a folder of the data-folder chain others can change, or a link; names it
};

enum { FatalExitCode = 1 };  // its text and caption: core/installer_texts.h

#if defined(__GNUC__)
__attribute__((noreturn))
#endif
void FatalStop(enum FatalKind kind, const char *path);

// Shows an error box (Windows) or writes the text to stderr (host); the one platform call of FatalStop.
void ShowFatalMessage(const char *text);
#if defined(__GNUC__)
__attribute__((noreturn))
#endif
void EndProcess(int code);
