// The file layer over the 16-bit-compatible handle calls of kernel32. The own file alone is opened
// with CreateFileA, the call whose share mode says exactly what others may do (no FILE_SHARE_WRITE,
// no FILE_SHARE_DELETE); its handle goes through ReadFile, SetFilePointer and never CloseHandle.
#include <windows.h>
#include "core/fileio.h"

static_assert(SeekSet == FILE_BEGIN && SeekCur == FILE_CURRENT && SeekEnd == FILE_END,
              "the layer's origins are the system's");

static HANDLE HeldOwnFile = INVALID_HANDLE_VALUE;
static FileHandle HeldOwnFileHandle = FileError;  // its value as the layer hands it out

FileHandle HoldOwnFile(const char *path)
{
    if (HeldOwnFileHandle != FileError || !path) return HeldOwnFileHandle;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return FileError;
    HeldOwnFile = file;
    // Handles are 32-bit values on every Windows, so the layer's int holds one; a held handle is
    // never closed, so no other open of the layer can be handed the same value.
    HeldOwnFileHandle = (FileHandle)HandleToLong(file);
    return HeldOwnFileHandle;
}

FileHandle OwnFile(void)
{
    return HeldOwnFileHandle;
}

static int IsHeld(FileHandle f)
{
    return f != FileError && f == HeldOwnFileHandle;
}

FileHandle FileOpenRead(const char *path)
{
    return _lopen(path, OF_READ | OF_SHARE_DENY_NONE);
}

FileHandle FileCreate(const char *path)
{
    return _lcreat(path, 0);
}

uint32_t FileRead(FileHandle f, void *buffer, uint32_t count)
{
    if (IsHeld(f)) {
        DWORD delivered = 0;
        return ReadFile(HeldOwnFile, buffer, count, &delivered, NULL) ? delivered : 0;
    }
    UINT n = _lread(f, buffer, count);
    return n == (UINT)HFILE_ERROR ? 0 : n;
}

uint32_t FileWrite(FileHandle f, const void *buffer, uint32_t count)
{
    UINT n = _lwrite(f, (LPCCH)buffer, count);
    return n == (UINT)HFILE_ERROR ? 0 : n;
}

int32_t FileSeek(FileHandle f, int32_t offset, int origin)
{
    // SeekSet, SeekCur and SeekEnd are FILE_BEGIN, FILE_CURRENT and FILE_END; a failure is
    // INVALID_SET_FILE_POINTER, -1 as an int32_t, as from _llseek.
    if (IsHeld(f)) return (int32_t)SetFilePointer(HeldOwnFile, offset, NULL, (DWORD)origin);
    return _llseek(f, offset, origin);
}

void FileClose(FileHandle f)
{
    if (IsHeld(f)) return;
    _lclose(f);
}

int FileRemove(const char *path)
{
    return DeleteFileA(path) != 0;
}

uint32_t OwnFilePath(char *buffer, uint32_t size)
{
    DWORD n = GetModuleFileNameA(NULL, buffer, size);
    if (n == 0 || n >= size) {  // a cut path (not terminated on older systems) counts as none
        if (size) buffer[0] = 0;
        return 0;
    }
    return n;
}
