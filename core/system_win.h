// The small Win32 queries the installer and the payload programs share, written once: each fills
// the caller's buffer of explicit length and says whether it did, so no caller reads a cut path.
// Inline, so that a program imports only what it calls: the core's objects are linked whole into
// every program, and an unused out-of-line query would still bring its imports along.
#pragma once
#include <stddef.h>
#include <string.h>
#include <windows.h>

// The Windows directory as the system gives it: no trailing backslash but for a root ("C:\").
// 0 with an empty buffer when the call fails or the directory does not fit in size bytes.
inline int QueryWindowsDirectory(char *buffer, size_t size)
{
    if (size == 0) return 0;
    UINT n = GetWindowsDirectoryA(buffer, (UINT)size);
    if (n == 0 || n >= size) {  // too long: the system wrote nothing usable
        buffer[0] = 0;
        return 0;
    }
    return 1;
}

// A DLL that is not among the system's KnownDLLs is searched in the program's own folder first,
// and a download folder is anyone's to write: such a DLL is loaded by its full path in the system
// directory only, and its own imports are looked up from there too. NULL when it is missing there.
inline HMODULE LoadSystemLibrary(const char *name)
{
    char path[MAX_PATH];
    UINT n = GetSystemDirectoryA(path, sizeof path);
    if (n == 0 || n >= sizeof path) return NULL;
    size_t used = n, length = strlen(name);
    if (path[used - 1] != '\\') path[used++] = '\\';
    if (used + length + 1 > sizeof path) return NULL;
    memcpy(path + used, name, length + 1);
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

typedef BOOL(WINAPI *DefaultDllDirectoriesCall)(DWORD);
enum { SearchSystem32Only = 0x800 };  // LOAD_LIBRARY_SEARCH_SYSTEM32

// Called first at start: every later load by name, the system's own on our behalf included, then
// searches the system directory alone. Systems without the call keep their order, and start.
inline void RestrictDllSearch(void)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    DefaultDllDirectoriesCall setDefault =
        kernel ? (DefaultDllDirectoriesCall)(void *)GetProcAddress(kernel, "SetDefaultDllDirectories") : NULL;
    if (setDefault) setDefault(SearchSystem32Only);
}

typedef HRESULT(WINAPI *FolderPathCall)(HWND, int, HANDLE, DWORD, LPSTR);
enum { CommonAppDataFolder = 0x23 };

// The all-users application-data folder from SHFOLDER.DLL in the system directory, looked up at
// run time since older systems lack the library. 0 with an empty buffer when there is no library
// or entry point, the lookup answers anything but S_OK, or size is below the MAX_PATH bytes the
// lookup may write.
inline int QueryCommonAppData(char *buffer, size_t size)
{
    if (size == 0) return 0;
    buffer[0] = 0;
    if (size < MAX_PATH) return 0;
    HMODULE library = LoadSystemLibrary("SHFOLDER.DLL");
    if (!library) return 0;
    FolderPathCall folderPath = (FolderPathCall)(void *)GetProcAddress(library, "SHGetFolderPathA");
    int found = folderPath && folderPath(NULL, CommonAppDataFolder, NULL, 0, buffer) == S_OK;
    if (!found) buffer[0] = 0;
    buffer[MAX_PATH - 1] = 0;
    FreeLibrary(library);
    return found;
}

// Opens file (a program, document or web page) with the shell's "open" verb. Nonzero when started.
inline int ShellOpen(const char *file, const char *parameters, int show)
{
    SHELLEXECUTEINFOA info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.lpVerb = "open";
    info.lpFile = file;
    info.lpParameters = parameters;
    info.nShow = show;
    return ShellExecuteExA(&info) != 0;
}
