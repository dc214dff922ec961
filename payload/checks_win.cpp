// The pre-install checks' windows and system queries.
#include <sys/stat.h>
#include <windows.h>
#include "core/installer_texts.h"
#include "core/layout.h"
#include "core/state.h"
#include "core/system_win.h"
#include "core/text.h"
#include "payload/block.h"
#include "payload/checks.h"

int CheckExistingScreenSaver(HINSTANCE instance)
{
    char own[PathSize];
    DWORD n = GetModuleFileNameA(instance, own, sizeof own);
    if (n == 0 || n >= sizeof own) return 1;
    char windows[PathSize];
    if (!QueryWindowsDirectory(windows, sizeof windows)) return 1;

    char name[PathSize];
    char path[PathSize];
    // A name or path that does not fit names no file this installer could replace: go on.
    if (!ExistingScreenSaverName(own, name, sizeof name)) return 1;
    if (!ComposeScreenSaverPath(windows, name, path, sizeof path)) return 1;
    struct _stat status;
    if (_stat(path, &status) != 0) return 1;

    char question[MessageTextSize];
    ComposeReplaceQuestion(name, question, sizeof question);
    if (!AsksBeforeReplacing()) return 1;
    return MessageBoxA(NULL, question, ReplaceCaption, MB_YESNO | MB_ICONQUESTION) != IDNO;
}

typedef BOOL(WINAPI *FreeSpaceExCall)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

uint32_t GetFreeDiskSpaceKB(const char *path)
{
    char root[FreeSpaceRootSize];
    FreeSpaceRoot(path, root);
    // Every program has KERNEL32.DLL loaded: asked for by handle, it is never searched for.
    HMODULE library = GetModuleHandleA("KERNEL32.DLL");
    if (library) {
        FreeSpaceExCall freeSpaceEx = (FreeSpaceExCall)(void *)GetProcAddress(library, "GetDiskFreeSpaceExA");
        ULARGE_INTEGER available, total, free;
        if (freeSpaceEx && freeSpaceEx(root, &available, &total, &free)) return (uint32_t)(available.QuadPart >> 10);
    }
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return (uint32_t)(((uint64_t)sectorsPerCluster * bytesPerSector * freeClusters) >> 10);
    return FreeSpaceUnknown;
}

int CheckDiskSpace(uint32_t *requiredBytes)
{
    *requiredBytes = 0;
    FileHandle block = OpenPayloadBlock();
    if (block == FileError) return 1;
    SumInstalledSizes(block, requiredBytes);
    FileClose(block);

    char windows[512];
    if (!QueryWindowsDirectory(windows, sizeof windows)) return 1;
    uint32_t freeKB = GetFreeDiskSpaceKB(windows);
    if (DiskSpaceSuffices(freeKB, *requiredBytes)) return 1;

    char question[MessageTextSize];
    ComposeDiskSpaceQuestion(*requiredBytes >> 10, freeKB, question, sizeof question);
    return MessageBoxA(NULL, question, DiskFullCaption, MB_OKCANCEL | MB_ICONINFORMATION) != IDCANCEL;
}
