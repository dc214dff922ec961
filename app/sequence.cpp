// The install sequence: the checks, the information message and the licence, the progress dialog,
// and then the uninstaller after a cancel or the Flash Player check and the finishing steps.
// It runs inside the backdrop's first WM_TIMER; every path ends by destroying the backdrop.
#include <windows.h>
#include "app/dialogs.h"
#include "app/finish.h"
#include "app/sequence.h"
#include "core/fatal.h"
#include "core/installer_texts.h"
#include "core/layout.h"
#include "core/state.h"
#include "core/system_win.h"
#include "core/text.h"
#include "install/worker.h"
#include "payload/check_payload.h"
#include "payload/checks.h"

static uint32_t RequiredBytes;
static char InstallCaption[InstallCaptionSize];

static void StartUninstaller(void)
{
    char uninstaller[PathSize];
    if (!ComposeUninstallerPath(DataFolder, uninstaller, sizeof uninstaller)) return;
    ShellOpen(uninstaller, "/s", SW_SHOWNORMAL);
}

// Steps up to the licence; 0 when the user ended the sequence there, before anything was written.
static int Prepare(HWND backdrop, HINSTANCE module)
{
    if (!CheckExistingScreenSaver(module)) return 0;
    if (!CheckDiskSpace(&RequiredBytes)) return 0;

    TrimTitle(ScreenSaverTitle, sizeof ScreenSaverTitle);
    ComposeInstallCaption(ScreenSaverTitle, InstallCaption, sizeof InstallCaption);
    ComposeScreenSaverFile(ScreenSaverTitle, ScreenSaverFile, sizeof ScreenSaverFile);
    char windowsDirectory[PathSize] = "";  // upper case, for the message; empty when unknown
    QueryWindowsDirectory(windowsDirectory, sizeof windowsDirectory);
    UpperCaseAscii(windowsDirectory);
    char sizeText[NumberTextSize];
    FormatThousands(RequiredBytes, sizeText);
    char message[MessageTextSize];
    ComposeInformationMessage(ScreenSaverTitle, windowsDirectory, sizeText, message, sizeof message);

    if (ShowsInformationMessage() && MessageBoxA(backdrop, message, InstallCaption, MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        return 0;
    return ShowLicence(module);
}

static int End(HWND backdrop, int exitCode)
{
    DestroyWindow(backdrop);
    return exitCode;
}

int RunInstallSequence(HWND backdrop)
{
    KillTimer(backdrop, StartTimerId);
    SetClassLongPtrA(backdrop, GCLP_HCURSOR, (LONG_PTR)LoadCursorA(NULL, (LPCSTR)IDC_ARROW));
    HINSTANCE module = GetModuleHandleA(NULL);

    // A damaged file is refused before any question or file, with the fatal stop's exit code.
    if (!CheckPayload()) {
        DestroyWindow(backdrop);
        EndProcess(FatalExitCode);
    }
    // The replace and disk-space questions, the information message and the licence.
    if (!Prepare(backdrop, module)) return End(backdrop, ExitDeclined);

    SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_WAIT));
    INT_PTR end = DialogBoxParamA(module, MAKEINTRESOURCEA(ProgressDialogId), backdrop, ProgressDialogProc, 0);
    SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_ARROW));

    // The worker ends the dialog with one of its two codes and nothing else does: anything else
    // (-1: the dialog could not be made) means the installation never ran to its end.
    if (end != EndedInstalled && end != EndedAccessDenied) FatalStop(FatalWindowFailed, NULL);
    if (end == EndedAccessDenied) return End(backdrop, ExitFailed);
    if (CancelRequested) {
        StartUninstaller();
        return End(backdrop, ExitCancelled);
    }
    FinishAfterInstallation(backdrop, InstallCaption);  // destroys the backdrop
    return ExitInstalled;
}
