// The install sequence: runs once, inside the backdrop's first WM_TIMER, and always ends by
// destroying the backdrop.
#pragma once
#include <windows.h>

#include "core/fatal.h"

enum { StartTimerId = 1000 };

// The installer's exit code, the same in either mode, so that a script can tell the ends apart.
enum {
    ExitInstalled = 0,            // the Flash Player messages come after a complete installation
    ExitFailed = FatalExitCode,   // refused file, fatal stop, access error, a window that could not be opened
    ExitDeclined = 2,             // answered before anything was written: information, licence, questions
    ExitCancelled = 5,            // cancelled during the installation; the uninstaller removes what was written
};

// Returns the exit code; the fatal stops end the process themselves.
int RunInstallSequence(HWND backdrop);
