// The authoring tool's file layer. Its paths are the strings of its command line: UTF-8 (on the
// host, whatever bytes the system gave). The host side is POSIX; the Windows side opens every
// path through the wide calls, so names the system's code page cannot write work as well.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/fileio.h"

// std::filesystem's view of a tool path, and a path's text back in the tool's encoding.
std::filesystem::path FsPath(const std::string &path);
std::string PathText(const std::filesystem::path &path);

FILE *OpenStream(const std::string &path, const char *mode);  // null on failure, errno set
bool SeekFile(FILE *f, uint64_t offset);                      // from the start
bool TruncateFile(FILE *f, uint64_t size);                    // flushed before
bool RemoveFile(const std::string &path);
// Whether two paths name one existing file, however spelled: through links, "." and "..", another
// case on Windows. Device and inode on the host, volume and file ID on Windows.
bool SameFile(const std::string &a, const std::string &b);

// A new file beside path ("w+b"), created with the rights a plainly created file would get; its
// name is returned in temporaryPath. Null on failure.
FILE *CreateFileBeside(const std::string &path, std::string *temporaryPath);
// Moves from over to, replacing a file already there.
bool RenameOver(const std::string &from, const std::string &to);

// The installer's reader works on the handle layer under the installer; this opens a tool path
// for it. FileError on failure.
FileHandle OpenHandleForReading(const std::string &path);

// The running program's own file, "" when the system does not say.
std::string ProgramPath();
