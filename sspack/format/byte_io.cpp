// Whole-file I/O; every failure names the file.
#include "sspack/format/byte_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sspack/files.h"
#include "sspack/tool_error.h"

void AppendU16(Bytes &bytes, uint16_t value)
{
    bytes.push_back((uint8_t)value);
    bytes.push_back((uint8_t)(value >> 8));
}

int ReadAtBytes(void *context, uint32_t offset, void *buffer, uint32_t size)
{
    const Bytes &bytes = *static_cast<const Bytes *>(context);
    if (!RangeInside(offset, size, bytes.size())) return 0;
    if (size) std::memcpy(buffer, bytes.data() + offset, size);
    return 1;
}

bool RangeInside(uint64_t offset, uint64_t size, uint64_t length)
{
    return offset <= length && size <= length - offset;
}

Bytes ReadWholeFile(const std::string &path)
{
    FILE *f = OpenStream(path, "rb");
    if (!f) throw ToolError("cannot open " + path + ": " + std::strerror(errno));
    Bytes bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) throw ToolError("cannot read " + path);
    return bytes;
}

void WriteWholeFile(const std::string &path, const Bytes &bytes)
{
    FILE *f = OpenStream(path, "wb");
    if (!f) throw ToolError("cannot create " + path + ": " + std::strerror(errno));
    size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
    bool failed = std::fclose(f) != 0 || written != bytes.size();
    if (failed) {
        RemoveFile(path);
        throw ToolError("cannot write " + path + " (disk full?)");
    }
}
