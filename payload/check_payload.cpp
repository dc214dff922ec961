// The installer's own pre-check: the places it would write to come from the system as the
// installation will ask for them, and a refusal is told before any window of the sequence.
#include <windows.h>
#include "core/fatal.h"
#include "core/fileio.h"
#include "core/state.h"
#include "payload/block.h"
#include "payload/check_payload.h"

static const uint32_t OwnOptionalHeaderSize = PeOptionalHeader32Size;

enum { CommonAppDataFolder = 0x23 };
typedef HRESULT(WINAPI *FolderPathCall)(HWND, int, HANDLE, DWORD, LPSTR);

// The common application-data folder as the data folder's creation finds it; empty without one.
static void ApplicationData(char *folder)
{
    folder[0] = 0;
    HMODULE library = LoadLibraryA("SHFOLDER.DLL");
    if (!library) return;
    FolderPathCall folderPath = (FolderPathCall)(void *)GetProcAddress(library, "SHGetFolderPathA");
    if (folderPath && folderPath(NULL, CommonAppDataFolder, NULL, 0, folder) != S_OK) folder[0] = 0;
    folder[PathSize - 1] = 0;
    FreeLibrary(library);
}

// 1 when the own path is longer than the reader can take (it has 255 characters and a terminator);
// a longer buffer tells a long path from a missing one.
static int OwnPathTooLong(void)
{
    static char own[OwnPathLimit + 1];
    DWORD n = GetModuleFileNameA(NULL, own, sizeof own);
    return n >= OwnPathSize;
}

int CheckPayload(void)
{
    char own[OwnPathSize];
    char windows[PathSize];
    char applicationData[PathSize];
    enum PayloadFault fault = PayloadUnreachable;
    if (OwnFilePath(own, sizeof own)) {
        UINT n = GetWindowsDirectoryA(windows, sizeof windows);
        if (n == 0 || n >= sizeof windows) windows[0] = 0;
        ApplicationData(applicationData);
        fault = InspectPayload(own, OwnOptionalHeaderSize, windows, applicationData);
    } else if (OwnPathTooLong()) {
        fault = PayloadOwnPathTooLong;
    }
    if (fault == PayloadSound) return 1;
    char text[512];
    ComposeFatalText(FatalKindOfFault(fault), NULL, text, sizeof text);
    ShowFatalMessage(text);
    return 0;
}
