// How the quiet installer differs from the interactive one, told once. installer.exe is built with
// InteractiveMode and installer-quiet.exe with QuietMode (app/CMakeLists.txt); these four decisions
// are the only readers of the mode. Everything else is the same in both: the pre-check, the
// disk-space question, the licence, the installation itself, the access error, the fatal stops,
// the Flash Player messages about a missing or outdated player and a failed download, and the exit
// codes.
#include "core/state.h"

// A constant in the program's data that no code writes.
static volatile const uint32_t InstallMode = INSTALL_MODE;

static int Interactive(void)
{
    return InstallMode == InteractiveMode;
}

// The information message with the size and the Windows directory, which the user may cancel.
int ShowsInformationMessage(void)
{
    return Interactive();
}

// The progress dialog made visible; the quiet one runs the same installation hidden.
int ShowsProgress(void)
{
    return Interactive();
}

// The question before a screen saver named like the installer file is replaced; quietly it is
// replaced.
int AsksBeforeReplacing(void)
{
    return Interactive();
}

// After a complete installation: the finished message (when the Flash Player is current), the
// notice, and the start of the installed screen saver.
int ShowsFinish(void)
{
    return Interactive();
}
