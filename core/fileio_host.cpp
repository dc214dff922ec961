// The file layer of the host build: POSIX calls with counters and fault budgets for the tests.
#include <fcntl.h>
#include <string.h>
#include <unistd.h>
#include "core/fileio.h"
#include "core/host_hooks.h"

HostFileHooks HostFiles = {0, 0, 0, -1, -1};
const char *HostOwnPath;
static FileHandle HeldOwnFile = FileError;

void ResetHostFileHooks(void)
{
    HostFiles = HostFileHooks{0, 0, 0, -1, -1};
}

FileHandle FileOpenRead(const char *path)
{
    int fd = open(path, O_RDONLY);
    return fd < 0 ? FileError : fd;
}

FileHandle FileCreate(const char *path)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    return fd < 0 ? FileError : fd;
}

static uint32_t Budgeted(int64_t *budget, uint32_t count)
{
    if (*budget < 0) return count;
    uint32_t allowed = *budget < (int64_t)count ? (uint32_t)*budget : count;
    *budget -= allowed;
    return allowed;
}

uint32_t FileRead(FileHandle f, void *buffer, uint32_t count)
{
    if (count) HostFiles.reads++;
    count = Budgeted(&HostFiles.readBudget, count);
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = read(f, (char *)buffer + done, count - done);
        if (n <= 0) break;
        done += (uint32_t)n;
    }
    return done;
}

uint32_t FileWrite(FileHandle f, const void *buffer, uint32_t count)
{
    HostFiles.writes++;
    count = Budgeted(&HostFiles.writeBudget, count);
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = write(f, (const char *)buffer + done, count - done);
        if (n <= 0) break;
        done += (uint32_t)n;
    }
    HostFiles.bytesWritten += done;
    return done;
}

int32_t FileSeek(FileHandle f, int32_t offset, int origin)
{
    int whence = origin == SeekCur ? SEEK_CUR : origin == SeekEnd ? SEEK_END : SEEK_SET;
    off_t pos = lseek(f, offset, whence);
    return pos < 0 || pos > INT32_MAX ? -1 : (int32_t)pos;
}

void FileClose(FileHandle f)
{
    if (f != FileError && f == HeldOwnFile) return;
    close(f);
}

FileHandle HoldOwnFile(const char *path)
{
    if (HeldOwnFile != FileError || !path) return HeldOwnFile;
    HeldOwnFile = FileOpenRead(path);  // a POSIX file has no share mode: the tests rename it at will
    return HeldOwnFile;
}

FileHandle OwnFile(void)
{
    return HeldOwnFile;
}

void HostHoldOwnFile(const char *path)
{
    if (HeldOwnFile != FileError) close(HeldOwnFile);
    HeldOwnFile = FileError;
    HoldOwnFile(path);
}

int FileRemove(const char *path)
{
    return unlink(path) == 0;
}

uint32_t OwnFilePath(char *buffer, uint32_t size)
{
    size_t n = HostOwnPath ? strlen(HostOwnPath) : 0;
    if (n == 0 || n >= size) {
        if (size) buffer[0] = 0;
        return 0;
    }
    memcpy(buffer, HostOwnPath, n + 1);
    return (uint32_t)n;
}
