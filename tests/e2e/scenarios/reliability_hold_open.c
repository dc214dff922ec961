/* Test stand-in for a running screen saver: holds its file open as a running program holds its
   image, readers allowed, writers and deleters denied, until PATH.release appears (at most 60 s).
   Usage: hold_open.exe PATH          (exit code 0 after the release, 1 when PATH cannot be opened)
          hold_open.exe release PATH  (creates PATH.release and exits 0) */
#include <stdio.h>
#include <windows.h>

int main(int argc, char **argv)
{
    char release[MAX_PATH];
    if (argc == 3 && lstrcmpA(argv[1], "release") == 0) {
        snprintf(release, sizeof release, "%s.release", argv[2]);
        HANDLE h = CreateFileA(release, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (h == INVALID_HANDLE_VALUE) return 1;
        CloseHandle(h);
        return 0;
    }
    if (argc != 2) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    snprintf(release, sizeof release, "%s.release", argv[1]);
    for (int waited = 0; waited < 60000; waited += 50) {
        if (GetFileAttributesA(release) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(50);
    }
    CloseHandle(file);
    DeleteFileA(release);
    return 0;
}
