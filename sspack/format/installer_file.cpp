// Every read seeks first: the installer's own reader shares the handle and leaves it anywhere.
#include "sspack/format/installer_file.h"

#include "sspack/files.h"
#include "sspack/tool_error.h"

InstallerFile::InstallerFile(const std::string &path) : path_(path)
{
    file_ = OpenHandleForReading(path);
    if (file_ == FileError) throw ToolError("cannot open " + path);
    int32_t end = FileSeek(file_, 0, SeekEnd);
    if (end < 0) {
        FileClose(file_);
        throw ToolError(path + ": cannot read its size (an installer stays below 2 GiB)");
    }
    size_ = (uint64_t)end;
}

InstallerFile::~InstallerFile()
{
    FileClose(file_);
}

bool InstallerFile::ReadAt(uint64_t offset, void *buffer, uint32_t count)
{
    if (!RangeInside(offset, count, size_)) return false;
    if (count == 0) return true;
    if (FileSeek(file_, (int32_t)offset, SeekSet) != (int32_t)offset) return false;
    return FileReadAll(file_, buffer, count) != 0;
}

Bytes InstallerFile::Read(uint64_t offset, uint32_t count)
{
    Bytes bytes(count);
    if (!ReadAt(offset, bytes.data(), count)) throw ToolError("cannot read " + path_);
    return bytes;
}
