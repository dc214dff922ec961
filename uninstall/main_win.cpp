// UNINSTAL.EXE: removes the screen saver whose data folder it lies in. "/s" runs it without any
// question or message (the installer starts it so after a cancel); exit code 0 only when every
// file the log lists is gone.
#include <windows.h>
#include "core/fileio.h"
#include "core/text.h"
#include "uninstall/arguments.h"
#include "uninstall/handoff.h"
#include "uninstall/own_folder.h"
#include "uninstall/uninstall.h"

static int silentRun;

static void Tell(const char *text, UINT icon)
{
    if (!silentRun) MessageBoxA(NULL, text, UninstallCaption, MB_OK | icon);
}

// Started through a short (8.3) path, the program's own path is short too; the log holds long paths
// and the folder names must be read as the installer wrote them.
static int OwnLongPath(char *path, DWORD size)
{
    if (!OwnFilePath(path, size)) return 0;
    typedef DWORD(WINAPI * LongPathCall)(LPCSTR, LPSTR, DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    LongPathCall longPath = kernel ? (LongPathCall)(void *)GetProcAddress(kernel, "GetLongPathNameA") : NULL;
    char full[PathSize];
    if (longPath) {
        DWORD n = longPath(path, full, sizeof full);
        if (n > 0 && n < sizeof full) CopyText(path, size, full);
    }
    return 1;
}

static int Uninstall(void)
{
    char ownPath[PathSize], ownFolder[PathSize], title[PathSize], logPath[PathSize];
    if (!OwnLongPath(ownPath, sizeof ownPath) || !FolderOfPath(ownPath, ownFolder, sizeof ownFolder) ||
        !TitleOfDataFolder(ownFolder, title, sizeof title) ||
        !ComposeLogPath(ownFolder, logPath, sizeof logPath)) {
        Tell(MisplacedMessage, MB_ICONEXCLAMATION);
        return 1;
    }
    char text[4096];
    if (!silentRun) {
        ComposeQuestion(title, text, sizeof text);
        if (MessageBoxA(NULL, text, UninstallCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return 1;
    }

    static RemovalReport report;
    static RemovedSavers savers;
    ResetReport(&report);
    RemoveListedFiles(logPath, ownFolder, ownPath, title, &report, &savers);
    if (!RemovalMustBeRepeated(&report)) {
        // Everything allowed is gone: now the registration, the log and the uninstaller itself.
        enum UninstallEntryResult entry = RemoveUninstallEntry(title, ownPath);
        if (entry == UninstallEntryLeft) report.registrationLeft = 1;
        if (entry == UninstallEntryForeign) report.registrationForeign = 1;
        ClearActiveScreenSaver(&savers);
        if (!report.logMissing && !DeleteListedFile(logPath)) report.registrationLeft = 1;
        if (!StartSelfRemoval(ownPath)) NoteFailed(&report, ownPath);
    }
    ComposeResultMessage(&report, title, text, sizeof text);
    Tell(text, RemovalComplete(&report) ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
    return RemovalComplete(&report) ? 0 : 1;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char handoff[HandoffSize];
    DWORD n = GetEnvironmentVariableA(HandoffVariable, handoff, sizeof handoff);
    if (n > 0 && n < sizeof handoff) return RunHandoff(handoff);
    // Not the runtime's tail: an unquoted path with blanks would lend its words to the arguments.
    char ownPath[PathSize];
    if (!OwnFilePath(ownPath, sizeof ownPath)) ownPath[0] = 0;
    silentRun = WantsSilentRun(UninstallerArguments(GetCommandLineA(), ownPath));
    return Uninstall();
}
