// The file layer over the 16-bit-compatible handle calls of kernel32.
#include <windows.h>
#include "core/fileio.h"

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
    return _llseek(f, offset, origin);
}

void FileClose(FileHandle f)
{
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
