// The least install sequence: straight from the backdrop's first timer message to the progress
// dialog, and then the end of the program.
#include <string.h>
#include <windows.h>
#include "app/sequence.h"
#include "core/state.h"
#include "core/text.h"
#include "install/worker.h"

void RunInstallSequence(HWND backdrop)
{
    KillTimer(backdrop, StartTimerId);
    size_t n = strnlen(ScreenSaverTitle, PathSize - 1);
    while (n && ScreenSaverTitle[n - 1] == ' ') ScreenSaverTitle[--n] = 0;
    FormatText(ScreenSaverFile, sizeof ScreenSaverFile, "%s.scr", ScreenSaverTitle);
    DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(ProgressDialogId), backdrop,
                    ProgressDialogProc, 0);
    DestroyWindow(backdrop);
}
