// The progress dialog's procedure: it sets its texts, posts itself IDOK and runs the whole
// installation inside that one command, keeping the windows alive through MessagePump.
#include <string.h>
#include <windows.h>
#include "core/fatal.h"
#include "core/installer_texts.h"
#include "core/state.h"
#include "core/text.h"
#include "install/cancel.h"
#include "install/registration.h"
#include "install/walk.h"
#include "install/worker.h"
#include "lzh/streams.h"


static HANDLE InstallLog = INVALID_HANDLE_VALUE;

void MessagePump(void)
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        if (ProgressDialog && IsDialogMessageA(ProgressDialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Readers (a scanner, a backup, an uninstaller reading it) may hold the log meanwhile. 0 when it
// cannot be had; path then names it.
static int OpenInstallLog(char *path, size_t size)
{
    InstallLog = INVALID_HANDLE_VALUE;
    if (!ComposeLogPath(DataFolder, path, size)) return 0;
    InstallLog = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (InstallLog == INVALID_HANDLE_VALUE) return 0;
    SetFilePointer(InstallLog, 0, NULL, FILE_END);
    return 1;
}

// A line the open log does not take stays silent; the walk only needs to know whether it is there.
static int LogDestination(const char *destination)
{
    if (InstallLog == INVALID_HANDLE_VALUE) return 0;
    DWORD length = (DWORD)strlen(destination);
    DWORD written = 0, ended = 0;
    return WriteFile(InstallLog, destination, length, &written, NULL) && written == length &&
           WriteFile(InstallLog, "\r\n", 2, &ended, NULL) && ended == 2;
}

static int ExtractCompressed(FileHandle payload, const PayloadEntry *entry, const char *destination, int logged)
{
    // A short write or read ends the process inside the extraction; otherwise nothing could be
    // decoded because a file could not be opened, and the message must name which one.
    ExtractHooks hooks = {PumpPointStopsEntry, !logged};
    int result = ExtractEntry(payload, entry->DataOffset, entry->ExpandedSize, entry->StoredSize, destination, &hooks);
    if (result == ExtractDone) return EntryWritten;
    return result == ExtractSourceFailed ? EntryUnreadable : EntryWriteFailed;
}

static const InstallHooks WorkerHooks = {WriteUninstallValues, ExtractCompressed, LogDestination};

static BOOL RunInstallation(HWND dialog)
{
    if (!CheckUninstallAccess()) {
        EndDialog(dialog, EndedAccessDenied);
        return TRUE;
    }
    // A path cut to its buffer would name another file: stop before anything is written.
    if (!SetScreenSaverPath()) FatalStop(FatalShortWrite, ScreenSaverPath);
    if (!CreateDataFolder()) FatalStop(FatalShortWrite, DataFolder);
    // Without the log, no entry written could ever be found and removed again; and an uninstaller
    // reading an empty log would report everything removed. Nothing but the probe's key and the
    // folders exists yet.
    char logPath[PathSize];
    if (!OpenInstallLog(logPath, sizeof logPath)) {
        RemoveWhatWasCreated();
        FatalStop(FatalShortWrite, logPath);
    }

    char *chunk = (char *)LocalAlloc(LMEM_FIXED, ChunkSize);
    if (!chunk) FatalStop(FatalOutOfMemory, NULL);  // no entry could be copied
    int complete = InstallEntries(&WorkerHooks, chunk);
    LocalFree(chunk);
    if (InstallLog != INVALID_HANDLE_VALUE) CloseHandle(InstallLog);
    InstallLog = INVALID_HANDLE_VALUE;
    // A payload that cannot be opened or a table without its terminator (both refused earlier
    // by the pre-install checks) must not be announced as installed.
    if (!complete) FatalStop(FatalDamagedInstaller, NULL);

    ActivateScreenSaver();
    EndDialog(dialog, EndedInstalled);
    return TRUE;
}

// What "Abbrechen" does, from the question to UNINSTAL.EXE /s. Enter and Escape reach it too (IDCANCEL
// is the default button): ConfirmCancel asks once and a Yes sets CancelRequested (install/cancel.cpp).
// The installation running inside IDOK sees the flag only at its pump points, PumpPointStopsEntry,
// where MessagePump delivered this click: the stored copy (install/walk.cpp) and the expansion
// (lzh/streams.cpp) stop the entry being written there, unless it is the uninstaller's
// (EntryUncancellable). The walk goes on: every later entry is created, logged and stopped at its
// first pump point, the uninstaller is written whole with its uninstall values, ActivateScreenSaver
// runs, and the dialog ends as installed; the sequence, finding CancelRequested, starts
// UNINSTAL.EXE /s (app/sequence.cpp).
static int AskToCancel(void *dialog)
{
    return MessageBoxA((HWND)dialog, CancelQuestion, CancelCaption, MB_YESNO) == IDYES;
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        if (ShowsProgress()) ShowWindow(dialog, SW_SHOW);
        ProgressDialog = dialog;
        char text[PathSize + 64];
        ComposeInstallCaption(ScreenSaverTitle, text, sizeof text);
        SetWindowTextA(dialog, text);
        ComposeSaverName(ScreenSaverTitle, text, sizeof text);
        SetDlgItemTextA(dialog, TitleLineId, text);
        // Queued, so the dialog is up (or, quietly, still hidden) before the work starts.
        PostMessageA(dialog, WM_COMMAND, IDOK, (LPARAM)GetDlgItem(dialog, IDOK));
        return TRUE;
    }
    if (message == WM_DESTROY) ProgressDialog = NULL;  // later pumps must not hand messages to a stale handle
    if (message == WM_COMMAND && wParam == IDOK) return RunInstallation(dialog);
    if (message == WM_COMMAND && wParam == IDCANCEL) ConfirmCancel(AskToCancel, dialog);  // never ends the dialog
    return FALSE;
}
