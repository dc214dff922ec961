// Stored entries are the file's bytes unchanged; compressed ones are a stream of the LZ coder,
// kept only when it is smaller than the file, and read back with the installer's own decoder.
#include "tools/entry_data.h"

#include "lzh/decoder.h"
#include "lzh/encoder.h"
#include "tools/tool_error.h"

bool CompressionAvailable()
{
    return true;
}

EntryData MakeEntryData(const Bytes &file, Compression compression)
{
    EntryData data;
    // An empty file has ExpandedSize 0 either way: stored.
    if (compression == Compression::Stored || file.empty()) {
        data.stored = file;
        return data;
    }
    if (file.size() > MaxCompressInput) throw ToolError("file too large for a compressed entry");
    CompressMode mode = compression == Compression::Fast ? CompressMode::Fast : CompressMode::Best;
    Bytes stream = CompressBuffer(mode, file.data(), file.size());
    if (stream.size() >= file.size()) {
        data.stored = file;  // compression would not make it smaller
        return data;
    }
    // The stream must give the file back before it goes into an installer.
    if (RestoreEntryData(stream, (uint32_t)file.size()) != file) throw ToolError("internal error: compressed entry does not expand to the file");
    data.stored = std::move(stream);
    data.expandedSize = (uint32_t)file.size();
    return data;
}

Bytes RestoreEntryData(const Bytes &stored, uint32_t expandedSize)
{
    if (expandedSize == 0) return stored;
    // The installer counts the size as signed: 2^31 and more would expand to nothing there.
    if (expandedSize > 0x7FFFFFFFu) throw ToolError("compressed entry: expanded size " + std::to_string(expandedSize) + " too large");
    if (stored.size() > 0xFFFFFFFFu) throw ToolError("compressed entry: stream too large");
    Bytes file(expandedSize);
    ExpandOutcome outcome;
    ExpandToMemory(stored.data(), (uint32_t)stored.size(), file.data(), expandedSize, (int32_t)expandedSize, &outcome);
    if (outcome.overran)
        throw ToolError("compressed entry: the stream ends before its " + std::to_string(expandedSize) + " bytes");
    if (outcome.produced != expandedSize)
        throw ToolError("compressed entry: the last match runs " + std::to_string(outcome.produced - expandedSize) +
                        " bytes past the expanded size");
    return file;
}
