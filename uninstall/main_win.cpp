// UNINSTAL.EXE: removes the screen saver whose data folder it lies in. "/s" runs it without any
// question or message (the installer starts it so after a cancel). Exit codes: 0 when every file
// the log lists is gone (its own file is then on its way), 1 when something stays (the report names
// it) or it lies in no data folder, 2 when the user answers No.
#include <windows.h>
#include "core/fileio.h"
#include "core/text.h"
#include "uninstall/arguments.h"
#include "uninstall/handoff.h"
#include "uninstall/own_folder.h"
#include "uninstall/uninstall.h"

enum { ExitRemoved = 0, ExitSomethingStays = 1, ExitDeclined = 2 };

static int silentRun;
static HANDLE ownFile = INVALID_HANDLE_VALUE;

static void Tell(const char *text, UINT icon)
{
    if (!silentRun) MessageBoxA(NULL, text, UninstallCaption, MB_OK | icon);
}

// Started through a short (8.3) path, the program's own path is short too; the log holds long paths
// and the folder names must be read as the installer wrote them.
static int OwnLongPath(char *path, DWORD size)
{
    char own[PathSize];
    return OwnFilePath(own, sizeof own) && LongPathOf(own, path, size);
}

// The log goes with the entry or not at all: it is marked for deletion first and the mark is taken
// back when the entry stays, so that a repeated run still finds it.
static void RemoveLogAndEntry(HANDLE log, const char *logPath, const char *title, const char *ownPath,
                              RemovalReport *report)
{
    if (!MarkLogForDeletion(log, logPath, 1)) {
        report->logLeft = 1;
        return;
    }
    enum UninstallEntryResult entry = RemoveUninstallEntry(title, ownPath);
    if (entry == UninstallEntryLeft) {
        report->registrationLeft = 1;
        MarkLogForDeletion(log, logPath, 0);
    }
    if (entry == UninstallEntryForeign) report->registrationForeign = 1;
}

static int Uninstall(void)
{
    char ownPath[PathSize], ownFolder[PathSize], title[PathSize], logPath[PathSize];
    if (!OwnLongPath(ownPath, sizeof ownPath) || !FolderOfPath(ownPath, ownFolder, sizeof ownFolder) ||
        !TitleOfDataFolder(ownFolder, title, sizeof title) ||
        !ComposeLogPath(ownFolder, logPath, sizeof logPath)) {
        Tell(MisplacedMessage, MB_ICONEXCLAMATION);
        return ExitSomethingStays;
    }
    char text[4096];
    if (!silentRun) {
        ComposeQuestion(title, text, sizeof text);
        if (MessageBoxA(NULL, text, UninstallCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return ExitDeclined;
    }

    static RemovalReport report;
    static RemovedSavers savers;
    ResetReport(&report);
    HANDLE log = OpenHeldLog(logPath, &report);
    if (log != INVALID_HANDLE_VALUE) RemoveListedFiles(log, logPath, ownFolder, ownPath, title, &report, &savers);
    // Nothing the log names is left: now the log with the registration, then the uninstaller itself.
    if (!RemovalMustBeRepeated(&report)) RemoveLogAndEntry(log, logPath, title, ownPath, &report);
    if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
    if (!RemovalMustBeRepeated(&report) && !report.logLeft && !report.registrationLeft) {
        ClearActiveScreenSaver(&savers);
        enum SelfRemoval self = StartSelfRemoval(ownFile, ownPath, silentRun);
        if (self == SelfRemovalScheduled) report.uninstallerScheduled = 1;
        if (self == SelfRemovalFailed) CopyText(report.uninstallerLeft, sizeof report.uninstallerLeft, ownPath);
    }
    ComposeResultMessage(&report, title, text, sizeof text);
    Tell(text, RemovalComplete(&report) ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
    return RemovalComplete(&report) ? ExitRemoved : ExitSomethingStays;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // First of all its own file, held until the process ends, for reading and shared only with
    // readers: nobody can rename, replace or write it meanwhile, so its path keeps naming what runs,
    // and the copy that removes it is written from this handle. The copy, which holds its own file
    // in the same way, can delete this one once this process has ended.
    char ownPath[PathSize];
    if (!OwnFilePath(ownPath, sizeof ownPath)) ownPath[0] = 0;
    if (ownPath[0]) ownFile = CreateFileA(ownPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    // Not the runtime's tail: an unquoted path with blanks would lend its words to the arguments.
    const char *arguments = UninstallerArguments(GetCommandLineA(), ownPath);
    // The copy's task comes only with its place, a private folder that the first process made.
    char longPath[PathSize], tempFolder[PathSize];
    if (OwnLongPath(longPath, sizeof longPath) && LongTempFolder(tempFolder, sizeof tempFolder) &&
        IsPrivateCopyPath(longPath, tempFolder))
        return RunHandoff(arguments, longPath);
    silentRun = WantsSilentRun(arguments);
    return Uninstall();
}
