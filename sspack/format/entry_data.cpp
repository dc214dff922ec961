// Stored entries are the file's bytes unchanged; compressed ones are read back with the
// installer's own decoder. The build makes them (build_installer.cpp).
#include "sspack/format/entry_data.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "lzh/decoder.h"
#include "sspack/tool_error.h"

namespace {

// A sink that hands each full window to the writer and counts what the tokens produced, keeping
// nothing past the expanded size (the surplus of a final match is only counted).
struct PassOnSink {
    ExpandSink sink;
    const EntryWriter *write;
    uint32_t expandedSize;
    uint64_t produced = 0;
    bool refused = false;
    uint8_t window[65536];
};

void PassOnWindow(ExpandSink *sink, int32_t)
{
    PassOnSink *p = reinterpret_cast<PassOnSink *>(sink);
    size_t n = (size_t)(sink->next - p->window);
    uint64_t room = p->produced < p->expandedSize ? p->expandedSize - p->produced : 0;
    size_t take = (size_t)std::min<uint64_t>(n, room);
    // No exception may leave here (see EntryWriter): a refusal is remembered instead.
    if (take && !p->refused && !(*p->write)(p->window, take)) p->refused = true;
    p->produced += n;
    sink->next = p->window;
    sink->end = p->window + sizeof p->window;
}

// The stored bytes of an entry read from the installer a chunk at a time. A failed read gives
// zero bytes and is reported once the decoder is done.
struct FileSource {
    ExpandSource source;
    InstallerFile *file;
    uint64_t next;  // file offset of the next chunk
    bool failed = false;
    uint8_t chunk[InstallerFile::ChunkSize];
};

void RefillFromFile(ExpandSource *source, uint32_t remaining)
{
    FileSource *f = reinterpret_cast<FileSource *>(source);
    uint32_t n = std::min<uint32_t>(remaining, sizeof f->chunk);
    if (!f->failed && !f->file->ReadAt(f->next, f->chunk, n)) f->failed = true;
    if (f->failed) std::memset(f->chunk, 0, n);
    f->next += n;
    source->next = f->chunk;
    source->end = f->chunk + n;
}

void CheckExpandedSize(uint64_t storedSize, uint32_t expandedSize)
{
    // The installer counts the size as signed: 2^31 and more would expand to nothing there.
    if (expandedSize > MaxExpandedSize) throw ToolError("compressed entry: expanded size " + std::to_string(expandedSize) + " too large");
    if (storedSize > 0xFFFFFFFFu) throw ToolError("compressed entry: stream too large");
}

struct StreamOutcome {
    bool refused;  // the writer did not take everything
    bool overran;
    uint64_t produced;
};

void NoRefill(ExpandSource *, uint32_t) {}

StreamOutcome ExpandThrough(ExpandSource *source, uint32_t storedSize, uint32_t expandedSize, const EntryWriter &write)
{
    auto pass = std::make_unique<PassOnSink>();
    pass->write = &write;
    pass->expandedSize = expandedSize;
    pass->sink = ExpandSink{pass->window, pass->window + sizeof pass->window, PassOnWindow, nullptr};
    ExpandStream(source, &pass->sink, nullptr, (int32_t)expandedSize, storedSize);
    PassOnWindow(&pass->sink, 0);
    return StreamOutcome{pass->refused, StreamOverran() != 0, pass->produced};
}

// A stream must give exactly its expanded size. One whose stored bytes run out first is expanded
// on with zero bits, as the installer does, and noted.
bool Judge(const StreamOutcome &outcome, uint32_t expandedSize, std::string *note)
{
    if (note) note->clear();
    if (outcome.refused) return false;
    if (outcome.overran) {
        if (note)
            *note = "the stream ends before its " + std::to_string(expandedSize) +
                    " bytes; the installer goes on with zero bits and writes them all";
        return true;
    }
    if (outcome.produced != expandedSize)
        throw ToolError("compressed entry: the last match runs " + std::to_string(outcome.produced - expandedSize) +
                        " bytes past the expanded size");
    return true;
}

}  // namespace

Bytes RestoreEntryData(const Bytes &stored, uint32_t expandedSize, std::string *note)
{
    if (note) note->clear();
    if (expandedSize == 0) return stored;
    CheckExpandedSize(stored.size(), expandedSize);
    Bytes file;
    file.reserve(expandedSize);
    ExpandSource source = {stored.data(), stored.data() + stored.size(), NoRefill, nullptr};
    Judge(ExpandThrough(&source, (uint32_t)stored.size(), expandedSize,
                        [&](const uint8_t *bytes, size_t count) {
                            file.insert(file.end(), bytes, bytes + count);
                            return true;
                        }),
          expandedSize, note);
    return file;
}

bool RestoreEntryFrom(InstallerFile &file, const PayloadEntry &entry, const EntryWriter &write, std::string *note)
{
    if (note) note->clear();
    if (entry.ExpandedSize == 0) {
        Bytes chunk(InstallerFile::ChunkSize);
        for (uint64_t done = 0; done < entry.StoredSize;) {
            uint32_t n = (uint32_t)std::min<uint64_t>(chunk.size(), entry.StoredSize - done);
            if (!file.ReadAt(entry.DataOffset + done, chunk.data(), n)) throw ToolError("cannot read " + file.path());
            if (!write(chunk.data(), n)) return false;
            done += n;
        }
        return true;
    }
    CheckExpandedSize(entry.StoredSize, entry.ExpandedSize);
    auto source = std::make_unique<FileSource>();
    source->file = &file;
    source->next = entry.DataOffset;
    source->source = ExpandSource{source->chunk, source->chunk, RefillFromFile, nullptr};
    StreamOutcome outcome = ExpandThrough(&source->source, entry.StoredSize, entry.ExpandedSize, write);
    if (source->failed) throw ToolError("cannot read " + file.path());
    return Judge(outcome, entry.ExpandedSize, note);
}
