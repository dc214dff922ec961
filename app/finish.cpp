// The player is an outside component: only its registration and its file's version resource are
// read. The movie's fourth byte (the SWF format version) says which player it needs.
#include <string.h>
#include <windows.h>
#include "app/finish.h"
#include "app/flash_version.h"
#include "core/installer_texts.h"
#include "core/layout.h"
#include "core/state.h"
#include "core/system_win.h"
#include "core/text.h"
#include "res/resource.h"
#include "app/dialogs.h"

int32_t InstalledFlashVersion = -1;
int32_t RequiredFlashVersion = -1;

static const char FlashServerKey[] = "CLSID\\{d27cdb6e-ae6d-11cf-96b8-444553540000}\\InprocServer32";
static const char FileVersionQuery[] = "\\StringFileInfo\\040904B0\\FileVersion";

static void ReadRequiredVersion(void)
{
    if (!LastExtraFile[0]) return;
    HANDLE movie = CreateFileA(LastExtraFile, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (movie == INVALID_HANDLE_VALUE) return;
    unsigned char header[4] = {0, 0, 0, 0};
    DWORD got = 0;
    // A movie shorter than four bytes leaves the missing ones zero.
    if (ReadFile(movie, header, sizeof header, &got, NULL)) RequiredFlashVersion = header[3];
    CloseHandle(movie);
}

// VERSION.DLL is not a KnownDLL: imported, it would be searched beside the installer first, in a
// download folder anyone may write to. It is loaded from the system directory when it is needed.
typedef DWORD(WINAPI *VersionSizeCall)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI *VersionInfoCall)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI *VersionQueryCall)(LPCVOID, LPCSTR, LPVOID *, PUINT);

static void ReadVersionResource(const char *path)
{
    HMODULE library = LoadSystemLibrary("VERSION.DLL");
    if (!library) return;
    VersionSizeCall versionSize = (VersionSizeCall)(void *)GetProcAddress(library, "GetFileVersionInfoSizeA");
    VersionInfoCall versionInfo = (VersionInfoCall)(void *)GetProcAddress(library, "GetFileVersionInfoA");
    VersionQueryCall versionQuery = (VersionQueryCall)(void *)GetProcAddress(library, "VerQueryValueA");
    DWORD handle = 0;
    DWORD size = versionSize && versionInfo && versionQuery ? versionSize(path, &handle) : 0;
    HANDLE heap = size ? HeapCreate(0, 0, 0) : NULL;
    void *block = heap ? HeapAlloc(heap, 0, size) : NULL;
    if (block) {
        char *text = NULL;
        UINT length = 0;
        if (versionInfo(path, handle, size, block) &&
            versionQuery(block, FileVersionQuery, (void **)&text, &length) && length && text) {
            // The resource need not terminate the string: read at most its stated length.
            char version[64];
            size_t n = length < sizeof version - 1 ? length : sizeof version - 1;
            memcpy(version, text, n);
            version[n] = 0;
            InstalledFlashVersion = LeadingVersion(version);
            ReadRequiredVersion();
        }
        HeapFree(heap, 0, block);
    }
    if (heap) HeapDestroy(heap);
    FreeLibrary(library);
}

void CheckFlashPlayer(void)
{
    InstalledFlashVersion = -1;
    RequiredFlashVersion = -1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, FlashServerKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
    char path[PathSize];
    DWORD size = sizeof path;
    DWORD type = 0;
    if (RegQueryValueExA(key, NULL, NULL, &type, (BYTE *)path, &size) == ERROR_SUCCESS) {
        path[sizeof path - 1] = 0;  // a value stored without its terminator
        if (size < sizeof path) path[size] = 0;
        ReadVersionResource(path);
    }
    RegCloseKey(key);
}

static void OfferDownload(HWND backdrop)
{
    char text[MessageTextSize];
    ComposeFlashMissingText(text, sizeof text);
    if (MessageBoxA(backdrop, text, FlashCaption, MB_OKCANCEL) != IDOK) return;
    if (!ShellOpen(FlashPlayerDownloadPage, NULL, SW_SHOWMAXIMIZED))
        MessageBoxA(backdrop, DownloadFailedText, FlashPlayerDownloadPage, MB_OK | MB_ICONERROR);
}

void FinishAfterInstallation(HWND backdrop, const char *installCaption)
{
    CheckFlashPlayer();
    switch (DecideFlash(InstalledFlashVersion, RequiredFlashVersion)) {
    case FlashMissing:
        OfferDownload(backdrop);
        break;
    case FlashOutdated:
        MessageBoxA(backdrop, FlashOutdatedText, FlashCaption, MB_OK | MB_ICONINFORMATION);
        break;
    case FlashCurrent:
        if (ShowsFinish()) MessageBoxA(backdrop, FinishedText, installCaption, MB_OK | MB_ICONEXCLAMATION);
        break;
    }
    if (ShowsFinish()) {
        FinishInstallation(backdrop);
        return;
    }
    DestroyWindow(backdrop);
}

void FinishInstallation(HWND backdrop)
{
    DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(NoticeDialogId), backdrop, NoticeDialogProc, 0);
    char windows[PathSize];
    if (QueryWindowsDirectory(windows, sizeof windows)) {
        char path[PathSize];
        // A full path that does not fit leaves the bare name, as a missing directory does.
        if (ComposeScreenSaverPath(windows, ScreenSaverFile, path, sizeof path))
            CopyText(ScreenSaverFile, sizeof ScreenSaverFile, path);
    }
    char shortPath[PathSize];
    DWORD m = GetShortPathNameA(ScreenSaverFile, shortPath, sizeof shortPath);
    if (m > 0 && m < sizeof shortPath) WinExec(shortPath, SW_SHOW);
    DestroyWindow(backdrop);
}
