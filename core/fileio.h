// The handle file layer under the payload reader, the stored copies and the entry streams.
// On Windows these are the 16-bit-compatible handle calls (_lopen family); on the host, POSIX calls
// with counters and fault hooks (host_hooks.h), so the same portable code is tested there.
#pragma once
#include <stdint.h>

typedef int FileHandle;
enum { FileError = -1 };
enum { SeekSet = 0, SeekCur = 1, SeekEnd = 2 };

FileHandle FileOpenRead(const char *path);  // read only, others may read and write meanwhile
FileHandle FileCreate(const char *path);    // created anew with normal attributes; an existing file is truncated
uint32_t FileRead(FileHandle f, void *buffer, uint32_t count);         // bytes delivered; 0 at the end or on failure
uint32_t FileWrite(FileHandle f, const void *buffer, uint32_t count);  // bytes taken; fewer means failure
int32_t FileSeek(FileHandle f, int32_t offset, int origin);           // new position, or -1
void FileClose(FileHandle f);  // the held own file (below) stays open
int FileRemove(const char *path);  // 1 when the file is gone

// 1 only when every requested byte arrived: the one place that decides what a short read means.
int FileReadAll(FileHandle f, void *buffer, uint32_t count);

// The running program's own file (the module without a handle). Returns the length, or 0 when the
// path cannot be had or does not fit into size characters with its terminator.
uint32_t OwnFilePath(char *buffer, uint32_t size);

// The installer's own file as one handle, held: opened for reading by the first step of WinMain,
// shared for reading only, and never closed before the process ends. While it is held nobody can
// write, rename or delete the file, so its path keeps naming the file that runs; and every read of
// the payload (title, pre-check, sizes, licence, walk, expansion) goes through this one handle, so
// what the pre-check judged is what gets installed. HoldOwnFile returns the handle (the one already
// held, if any), or FileError when the file cannot be opened; OwnFile returns it, or FileError.
FileHandle HoldOwnFile(const char *path);
FileHandle OwnFile(void);
