// Stored entries are the file's bytes unchanged; compressed ones are a stream of the LZ coder,
// kept only when it is smaller than the file, and read back with the installer's own decoder.
#include "tools/entry_data.h"

#include <cstring>
#include <memory>

#include "lzh/decoder.h"
#include "lzh/encoder.h"
#include "tools/tool_error.h"

namespace {

// A sink that compares the expanded bytes with the file window by window instead of holding a
// second copy of it.
struct CompareSink {
    ExpandSink sink;
    const Bytes *file;
    size_t checked = 0;
    bool same = true;
    uint8_t window[65536];
};

void CompareWindow(ExpandSink *sink, int32_t)
{
    CompareSink *c = reinterpret_cast<CompareSink *>(sink);
    size_t n = (size_t)(sink->next - c->window);
    if (c->checked + n > c->file->size() || std::memcmp(c->window, c->file->data() + c->checked, n) != 0) c->same = false;
    c->checked += n;
    sink->next = c->window;
    sink->end = c->window + sizeof c->window;
}

void NoRefill(ExpandSource *, uint32_t) {}

bool ExpandsTo(const Bytes &stream, const Bytes &file)
{
    ExpandSource source = {stream.data(), stream.data() + stream.size(), NoRefill, nullptr};
    auto compare = std::make_unique<CompareSink>();
    compare->file = &file;
    compare->sink = ExpandSink{compare->window, compare->window, CompareWindow, nullptr};
    ExpandStream(&source, &compare->sink, nullptr, (int32_t)file.size(), (uint32_t)stream.size());
    CompareWindow(&compare->sink, 0);
    return compare->same && compare->checked == file.size() && !StreamOverran();
}

}  // namespace

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
    if (!ExpandsTo(stream, file)) throw ToolError("internal error: compressed entry does not expand to the file");
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
