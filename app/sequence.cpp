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

// Steps up to the licence; 0 when the sequence ends there.
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

void RunInstallSequence(HWND backdrop)
{
    KillTimer(backdrop, StartTimerId);
    SetClassLongPtrA(backdrop, GCLP_HCURSOR, (LONG_PTR)LoadCursorA(NULL, (LPCSTR)IDC_ARROW));
    HINSTANCE module = GetModuleHandleA(NULL);

    // A damaged file is refused before any question or file: the only end with exit code 1 besides
    // the fatal stop.
    if (!CheckPayload()) {
        DestroyWindow(backdrop);
        EndProcess(FatalExitCode);
    }
    if (!Prepare(backdrop, module)) {
        DestroyWindow(backdrop);
        return;
    }

    SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_WAIT));
    INT_PTR end = DialogBoxParamA(module, MAKEINTRESOURCEA(ProgressDialogId), backdrop, ProgressDialogProc, 0);
    SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_ARROW));

    if (end == EndedAccessDenied) {
        DestroyWindow(backdrop);
        return;
    }
    if (CancelRequested) {
        StartUninstaller();
        DestroyWindow(backdrop);
        return;
    }
    FinishAfterInstallation(backdrop, InstallCaption);
}
