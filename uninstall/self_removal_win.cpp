// Removing the uninstaller's own file: a copy in the temp folder waits for this process to end,
// deletes the file and the empty folders above it, and leaves itself to the next system start.
#include <windows.h>
#include <string.h>
#include "core/fileio.h"
#include "core/text.h"
#include "uninstall/handoff.h"
#include "uninstall/own_folder.h"
#include "uninstall/uninstall.h"

enum { DeleteAttempts = 50, DeleteRetryMs = 100 };

// The folder itself and, above it, "Vistaworks" and "Quilmark LLC", each only when empty.
static void RemoveEmptyFolders(const char *uninstallerPath)
{
    char folder[PathSize];
    if (!FolderOfPath(uninstallerPath, folder, sizeof folder)) return;
    for (int level = 0; level < 3; level++) {
        size_t n = strlen(folder);
        if (n && folder[n - 1] == '\\') folder[--n] = 0;
        if (!RemoveDirectoryA(folder)) return;
        char *slash = strrchr(folder, '\\');
        if (!slash) return;
        slash[1] = 0;
    }
}

static int ScheduleForNextStart(const char *ownPath)
{
    if (!MoveFileExA(ownPath, NULL, MOVEFILE_DELAY_UNTIL_REBOOT)) return 0;
    char folder[PathSize];
    if (!FolderOfPath(ownPath, folder, sizeof folder)) return 1;
    for (int level = 0; level < 3; level++) {  // empty by then, or the start leaves them
        size_t n = strlen(folder);
        if (n && folder[n - 1] == '\\') folder[--n] = 0;
        MoveFileExA(folder, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
        char *slash = strrchr(folder, '\\');
        if (!slash) break;
        slash[1] = 0;
    }
    return 1;
}

static int StartCopy(const char *ownPath)
{
    char tempFolder[PathSize], copy[PathSize], handoff[HandoffSize];
    DWORD n = GetTempPathA(sizeof tempFolder, tempFolder);
    if (n == 0 || n >= sizeof tempFolder) return 0;
    if (!FormatText(copy, sizeof copy, "%sUNINSTAL-%08lX.EXE", tempFolder, (unsigned long)GetCurrentProcessId()))
        return 0;
    if (!CopyFileA(ownPath, copy, FALSE)) return 0;

    HANDLE self;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE,
                         0)) {
        DeleteFileA(copy);
        return 0;
    }
    int started = 0;
    if (FormatHandoff(handoff, sizeof handoff, (uint64_t)(uintptr_t)self, ownPath) &&
        SetEnvironmentVariableA(HandoffVariable, handoff)) {
        char commandLine[PathSize + 2];
        FormatText(commandLine, sizeof commandLine, "\"%s\"", copy);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        // The copy works in the temp folder, so no folder it removes is its current directory.
        if (CreateProcessA(copy, commandLine, NULL, NULL, TRUE, 0, NULL, tempFolder, &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            started = 1;
        }
        SetEnvironmentVariableA(HandoffVariable, NULL);
    }
    CloseHandle(self);
    if (!started) DeleteFileA(copy);
    return started;
}

int StartSelfRemoval(const char *ownPath)
{
    return StartCopy(ownPath) || ScheduleForNextStart(ownPath);
}

int RunHandoff(const char *text)
{
    uint64_t handle;
    char uninstallerPath[PathSize];
    SetEnvironmentVariableA(HandoffVariable, NULL);
    if (!ParseHandoff(text, &handle, uninstallerPath, sizeof uninstallerPath)) return 1;
    // Only a handle inherited from a process that then ends lets the copy go on.
    if (WaitForSingleObject((HANDLE)(uintptr_t)handle, INFINITE) != WAIT_OBJECT_0) return 1;
    CloseHandle((HANDLE)(uintptr_t)handle);
    int deleted = 0;
    for (int attempt = 0; attempt < DeleteAttempts && !deleted; attempt++) {
        deleted = DeleteListedFile(uninstallerPath);
        if (!deleted) Sleep(DeleteRetryMs);
    }
    if (deleted) RemoveEmptyFolders(uninstallerPath);

    char ownCopy[PathSize];
    if (OwnFilePath(ownCopy, sizeof ownCopy)) MoveFileExA(ownCopy, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
    return deleted ? 0 : 1;
}
