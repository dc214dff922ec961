// Removing the uninstaller's own file: a copy in a private folder of the temp folder waits for this
// process to end, deletes the file and the empty folders above it, and leaves itself and its folder
// to the next system start.
#include <windows.h>
#include <ntsecapi.h>
#include <sddl.h>
#include <string.h>
#include "core/fileio.h"
#include "core/text.h"
#include "uninstall/handoff.h"
#include "uninstall/own_folder.h"
#include "uninstall/uninstall.h"

enum { DeleteAttempts = 50, DeleteRetryMs = 100 };

int LongPathOf(const char *path, char *longPath, DWORD size)
{
    typedef DWORD(WINAPI * LongPathCall)(LPCSTR, LPSTR, DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    LongPathCall longPathCall = kernel ? (LongPathCall)(void *)GetProcAddress(kernel, "GetLongPathNameA") : NULL;
    char full[PathSize];
    DWORD n = longPathCall ? longPathCall(path, full, sizeof full) : 0;
    return CopyText(longPath, size, n > 0 && n < sizeof full ? full : path);
}

int LongTempFolder(char *folder, DWORD size)
{
    char temp[PathSize];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp) return 0;
    return LongPathOf(temp, folder, size) && AppendBackslash(folder, size);
}

// Folder without its closing backslash, for the calls that want a folder's name.
static void DropBackslash(char *folder)
{
    size_t n = strlen(folder);
    if (n > 3 && folder[n - 1] == '\\') folder[n - 1] = 0;
}

// The folder itself and, above it, "Vistaworks" and "Quilmark LLC", each only when empty.
static void RemoveEmptyFolders(const char *uninstallerPath)
{
    char folder[PathSize];
    if (!FolderOfPath(uninstallerPath, folder, sizeof folder)) return;
    for (int level = 0; level < 3; level++) {
        DropBackslash(folder);
        if (!RemoveDirectoryA(folder)) return;
        char *slash = strrchr(folder, '\\');
        if (!slash) return;
        slash[1] = 0;
    }
}

// The file and its three folders at the next system start (the program runs elevated, as the
// system's list of such deletions requires); 1 when the file's deletion is scheduled.
static int ScheduleForNextStart(const char *path, int folders)
{
    if (!MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT)) return 0;
    char folder[PathSize];
    if (!FolderOfPath(path, folder, sizeof folder)) return 1;
    for (int level = 0; level < folders; level++) {  // empty by then, or the start leaves them
        DropBackslash(folder);
        MoveFileExA(folder, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
        char *slash = strrchr(folder, '\\');
        if (!slash) break;
        slash[1] = 0;
    }
    return 1;
}

// The user's SID as text, for the private folder's descriptor.
static int UserSidText(char *text, size_t size)
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } info;
    DWORD n = 0;
    BOOL have = GetTokenInformation(token, TokenUser, &info, sizeof info, &n);
    CloseHandle(token);
    char *sid = NULL;
    if (!have || !ConvertSidToStringSidA(info.user.User.Sid, &sid)) return 0;
    int fit = CopyText(text, size, sid);
    LocalFree(sid);
    return fit;
}

// The private folder's descriptor, given to the folder and, should anyone have put another folder in
// its place before it is held, to the copy itself. NULL when it cannot be composed (LocalFree it).
static PSECURITY_DESCRIPTOR PrivateDescriptor(void)
{
    char sid[200], descriptorText[400];
    PSECURITY_DESCRIPTOR descriptor = NULL;
    if (!UserSidText(sid, sizeof sid) || !ComposePrivateFolderSecurity(sid, descriptorText, sizeof descriptorText) ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptorText, SDDL_REVISION_1, &descriptor, NULL))
        return NULL;
    return descriptor;
}

// A new folder below the temp folder under a name nobody can foresee, only for the user and the
// administrators; it is held (no renaming, no deleting) until the copy runs. INVALID_HANDLE_VALUE
// when any of it fails, also when something of that name exists already.
static HANDLE MakePrivateFolder(PSECURITY_DESCRIPTOR descriptor, char *folder, size_t size)
{
    char temp[PathSize];
    unsigned char random[PrivateRandomSize];
    if (!LongTempFolder(temp, sizeof temp) || !RtlGenRandom(random, sizeof random) ||
        !ComposePrivateFolder(temp, random, folder, size))
        return INVALID_HANDLE_VALUE;
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor, FALSE};
    char name[PathSize];
    CopyText(name, sizeof name, folder);
    DropBackslash(name);
    if (!CreateDirectoryA(name, &security)) return INVALID_HANDLE_VALUE;
    HANDLE held = CreateFileA(name, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (held == INVALID_HANDLE_VALUE) RemoveDirectoryA(name);
    return held;
}

static void RemovePrivateFolder(const char *folder)
{
    char name[PathSize];
    CopyText(name, sizeof name, folder);
    DropBackslash(name);
    RemoveDirectoryA(name);
}

static int SameFile(const BY_HANDLE_FILE_INFORMATION *a, const BY_HANDLE_FILE_INFORMATION *b)
{
    return a->dwVolumeSerialNumber == b->dwVolumeSerialNumber && a->nFileIndexHigh == b->nFileIndexHigh &&
           a->nFileIndexLow == b->nFileIndexLow;
}

// The copy, written from the held own file (the bytes that run, whatever the path names by now)
// with the private descriptor of its own, then held for reading only until the copy runs; the file
// held must be the one written. INVALID_HANDLE_VALUE when it could not be made.
static HANDLE WriteCopy(HANDLE ownFile, PSECURITY_DESCRIPTOR descriptor, const char *path)
{
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor, FALSE};
    HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, &security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (out == INVALID_HANDLE_VALUE) return out;
    DWORD size = GetFileSize(ownFile, NULL), total = 0;
    int good = size != INVALID_FILE_SIZE && SetFilePointer(ownFile, 0, NULL, FILE_BEGIN) == 0;
    static char buffer[8192];
    DWORD got;
    while (good && ReadFile(ownFile, buffer, sizeof buffer, &got, NULL) && got > 0) {
        DWORD written;
        good = WriteFile(out, buffer, got, &written, NULL) && written == got;
        total += got;
    }
    BY_HANDLE_FILE_INFORMATION wrote, holds;
    good = good && total == size && GetFileInformationByHandle(out, &wrote);
    CloseHandle(out);
    HANDLE held = good ? CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL)
                       : INVALID_HANDLE_VALUE;
    if (held != INVALID_HANDLE_VALUE && (!GetFileInformationByHandle(held, &holds) || !SameFile(&wrote, &holds))) {
        CloseHandle(held);
        return INVALID_HANDLE_VALUE;  // another file at its path: not ours to delete either
    }
    if (held == INVALID_HANDLE_VALUE) DeleteFileA(path);
    return held;
}

static int StartCopy(HANDLE ownFile, const char *ownPath, int silent)
{
    if (ownFile == INVALID_HANDLE_VALUE) return 0;
    char folder[PathSize], copy[PathSize], handoff[HandoffSize];
    PSECURITY_DESCRIPTOR descriptor = PrivateDescriptor();
    if (!descriptor) return 0;
    HANDLE heldFolder = MakePrivateFolder(descriptor, folder, sizeof folder);
    HANDLE heldCopy = INVALID_HANDLE_VALUE;
    if (heldFolder != INVALID_HANDLE_VALUE && FormatText(copy, sizeof copy, "%s%s", folder, UninstallerName))
        heldCopy = WriteCopy(ownFile, descriptor, copy);
    LocalFree(descriptor);
    if (heldFolder == INVALID_HANDLE_VALUE) return 0;
    HANDLE self = NULL;
    int started = 0;
    // The only handle the copy inherits: this process, to wait for.
    if (heldCopy != INVALID_HANDLE_VALUE &&
        DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0) &&
        FormatHandoff(handoff, sizeof handoff, (uint64_t)(uintptr_t)self, silent, ownPath)) {
        char commandLine[PathSize + HandoffSize + 4];
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        // The copy works in its own folder, so no folder it removes is its current directory.
        if (FormatText(commandLine, sizeof commandLine, "\"%s\" %s", copy, handoff) &&
            CreateProcessA(copy, commandLine, NULL, NULL, TRUE, 0, NULL, folder, &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            started = 1;
        }
    }
    if (self) CloseHandle(self);
    if (heldCopy != INVALID_HANDLE_VALUE) CloseHandle(heldCopy);
    CloseHandle(heldFolder);
    if (!started) {
        if (heldCopy != INVALID_HANDLE_VALUE) DeleteFileA(copy);
        RemovePrivateFolder(folder);
    }
    return started;
}

enum SelfRemoval StartSelfRemoval(HANDLE ownFile, const char *ownPath, int silent)
{
    if (StartCopy(ownFile, ownPath, silent)) return SelfRemovalStarted;
    return ScheduleForNextStart(ownPath, 3) ? SelfRemovalScheduled : SelfRemovalFailed;
}

int RunHandoff(const char *text, const char *ownPath)
{
    uint64_t handle;
    int silent;
    char uninstallerPath[PathSize];
    if (!ParseHandoff(text, &handle, &silent, uninstallerPath, sizeof uninstallerPath)) return 1;
    // Only a handle inherited from a process that then ends lets the copy go on.
    if (WaitForSingleObject((HANDLE)(uintptr_t)handle, INFINITE) != WAIT_OBJECT_0) return 1;
    CloseHandle((HANDLE)(uintptr_t)handle);
    int deleted = 0;
    for (int attempt = 0; attempt < DeleteAttempts && !deleted; attempt++) {
        deleted = DeleteListedFile(uninstallerPath);
        if (!deleted) Sleep(DeleteRetryMs);
    }
    if (deleted) {
        RemoveEmptyFolders(uninstallerPath);
    } else {
        // Another program still holds it: the system deletes it at its next start.
        int scheduled = ScheduleForNextStart(uninstallerPath, 3);
        if (!silent) {
            char message[512];
            ComposeLateRemovalMessage(uninstallerPath, scheduled, message, sizeof message);
            MessageBoxA(NULL, message, UninstallCaption, MB_OK | (scheduled ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
        }
    }
    // The copy cannot delete its own running file: it and its private folder go at the next start.
    ScheduleForNextStart(ownPath, 1);
    return deleted ? 0 : 1;
}
