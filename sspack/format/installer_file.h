// An installer opened for reading in bounded pieces through the file layer (core/fileio.h), so the
// tool's memory does not grow with the installer: headers, block and table are read where they
// lie, entry data and checksums pass through in chunks.
#pragma once
#include <cstdint>
#include <string>

#include "core/fileio.h"
#include "sspack/format/byte_io.h"

class InstallerFile {
public:
    enum { ChunkSize = 65536 };  // one read of entry data or of the checksum pass

    // Throws ToolError when the file cannot be opened or its size cannot be had (2 GiB and more).
    explicit InstallerFile(const std::string &path);
    ~InstallerFile();
    InstallerFile(const InstallerFile &) = delete;
    InstallerFile &operator=(const InstallerFile &) = delete;

    const std::string &path() const { return path_; }
    uint64_t size() const { return size_; }
    FileHandle handle() const { return file_; }

    // count bytes at offset; false when they are not all there (outside the file or a failed read).
    bool ReadAt(uint64_t offset, void *buffer, uint32_t count);
    // The same into a new buffer; throws ToolError naming the file when it cannot be read whole.
    Bytes Read(uint64_t offset, uint32_t count);

private:
    std::string path_;
    FileHandle file_ = FileError;
    uint64_t size_ = 0;
};
