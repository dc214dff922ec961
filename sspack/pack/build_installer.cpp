// The installer file is made in one forward pass over the entries: stub, room for the block, then
// each entry at its final offset. The block goes in last, when every offset is known, and the
// integrity CRC is taken in a final pass over the finished, padded file.
#include "sspack/pack/build_installer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "lzh/decoder.h"
#include "lzh/encoder.h"
#include "payload/crc32.h"
#include "sspack/format/block_format.h"
#include "sspack/files.h"
#include "sspack/format/integrity_file.h"
#include "sspack/tool_error.h"

namespace {

const size_t ChunkSize = 1u << 20;  // one read or write of file data

// The installer being written: positions are absolute, every failure names the output.
class Output {
public:
    Output(FILE *f, const std::string &name) : f_(f), name_(name) {}
    FILE *file() const { return f_; }
    void Seek(uint64_t offset)
    {
        if (!SeekFile(f_, offset)) Fail();
    }
    void Write(const void *bytes, size_t count)
    {
        if (count && std::fwrite(bytes, 1, count, f_) != count) Fail();
    }
    void Flush()
    {
        if (std::fflush(f_) != 0) Fail();
    }
    [[noreturn]] void Fail() const { throw ToolError("cannot write " + name_ + " (disk full?)"); }
    const std::string &name() const { return name_; }

private:
    FILE *f_;
    std::string name_;
};

// Reads an input file front to back, counting; progress is reported the first time a byte is
// reached. A read error or a size other than the one the entry was planned with is a ToolError
// naming the file.
class Input {
public:
    Input(const InputFile &file, uint64_t size, const ReadProgress &progress)
        : file_(file), size_(size), progress_(progress), f_(OpenStream(file.path, "rb"))
    {
        if (!f_) throw ToolError("cannot open " + file.path);
    }
    ~Input() { std::fclose(f_); }
    Input(const Input &) = delete;
    Input &operator=(const Input &) = delete;
    size_t Read(uint8_t *buffer, size_t room)
    {
        size_t n = std::fread(buffer, 1, room, f_);
        if (n < room && std::ferror(f_)) throw ToolError("cannot read " + file_.path);
        done_ += n;
        if (done_ > size_) Changed();
        if (done_ > reported_) {
            reported_ = done_;
            if (progress_) progress_(file_, done_, size_);
        }
        return n;
    }
    // Back to the start for another pass.
    void Rewind()
    {
        std::rewind(f_);
        done_ = 0;
    }
    // The whole file has been read, and nothing more is there.
    void Finished()
    {
        uint8_t probe;
        if (done_ != size_ || std::fread(&probe, 1, 1, f_) != 0) Changed();
    }
    [[noreturn]] void Changed() const { throw ToolError(file_.path + ": the file changed size while it was read"); }

private:
    const InputFile &file_;
    uint64_t size_;
    const ReadProgress &progress_;
    FILE *f_;
    uint64_t done_ = 0, reported_ = 0;
};

// Expands a stream from the output with the installer's decoder and compares what it gives with
// the input, window by window, instead of holding either in memory.
struct StreamCheck {
    ExpandSource source;
    ExpandSink sink;
    FILE *stored = nullptr;
    Input *input = nullptr;
    uint64_t size = 0, checked = 0;
    bool same = true, readFailed = false;
    uint8_t storedWindow[65536];
    uint8_t window[65536];
    uint8_t expected[65536];
};

void RefillFromOutput(ExpandSource *source, uint32_t remaining)
{
    StreamCheck *c = static_cast<StreamCheck *>(source->context);
    size_t want = remaining < sizeof c->storedWindow ? remaining : sizeof c->storedWindow;
    size_t got = std::fread(c->storedWindow, 1, want, c->stored);
    if (got < want) {
        c->readFailed = true;  // checked after decoding; zeros keep the decoder going until then
        std::memset(c->storedWindow + got, 0, want - got);
    }
    source->next = c->storedWindow;
    source->end = c->storedWindow + want;
}

void CompareWithInput(ExpandSink *sink, int32_t)
{
    StreamCheck *c = static_cast<StreamCheck *>(sink->context);
    size_t n = (size_t)(sink->next - c->window);
    size_t want = c->checked < c->size ? (size_t)std::min<uint64_t>(n, c->size - c->checked) : 0;
    if (want < n) c->same = false;  // bytes past the file's end
    if (want && c->same) {
        size_t got = 0;
        while (got < want) {
            size_t r = c->input->Read(c->expected + got, want - got);
            if (r == 0) c->input->Changed();
            got += r;
        }
        if (std::memcmp(c->window, c->expected, want) != 0) c->same = false;
    }
    c->checked += n;
    sink->next = c->window;
    sink->end = c->window + sizeof c->window;
}

bool ExpandsToInput(Output &out, uint64_t offset, uint32_t storedSize, Input &input, uint64_t size)
{
    out.Flush();
    out.Seek(offset);
    input.Rewind();
    auto c = std::make_unique<StreamCheck>();
    c->stored = out.file();
    c->input = &input;
    c->size = size;
    c->source = ExpandSource{c->storedWindow, c->storedWindow, RefillFromOutput, c.get()};
    c->sink = ExpandSink{c->window, c->window, CompareWithInput, c.get()};
    ExpandStream(&c->source, &c->sink, nullptr, (int32_t)size, storedSize);
    CompareWithInput(&c->sink, 0);
    if (c->readFailed) throw ToolError("cannot read back " + out.name());
    return c->same && c->checked == size && !StreamOverran();
}

// Codes the input into the output at its current position. Returns the stream's size, or 0 when
// the stream would not be smaller than the file (told early from a probe where the input is plainly
// incompressible, otherwise coding stops as soon as that is certain).
uint64_t CompressEntry(CompressMode mode, Input &input, uint64_t size, Output &out)
{
    if (size > MaxExpandedSize) throw ToolError("file too large for a compressed entry");
    if (WillNotShrink(mode, [&](uint8_t *buffer, size_t room, bool *) { return input.Read(buffer, room); }, size))
        return 0;
    input.Rewind();
    uint64_t written = 0;
    bool tooLarge = false;
    CompressResult result = CompressStream(
        mode, [&](uint8_t *buffer, size_t room, bool *) { return input.Read(buffer, room); },
        [&](const uint8_t *bytes, size_t count) {
            if (written + count >= size) {
                tooLarge = true;
                return false;
            }
            out.Write(bytes, count);
            written += count;
            return true;
        });
    if (tooLarge) return 0;
    input.Finished();
    if (!result.ok || result.storedSize != written) throw ToolError("internal error: the compressor stopped early");
    return written;
}

// Copies the file as it is, in chunks.
void CopyEntry(Input &input, uint64_t size, Output &out)
{
    std::vector<uint8_t> chunk(ChunkSize);
    uint64_t done = 0;
    while (done < size) {
        size_t n = input.Read(chunk.data(), chunk.size());
        if (n == 0) break;
        out.Write(chunk.data(), n);
        done += n;
    }
    input.Finished();
}

// A file beside the output that becomes it on success and goes away otherwise.
class TemporaryOutput {
public:
    explicit TemporaryOutput(const std::string &outPath)
    {
        file_ = CreateFileBeside(outPath, &path_);
        if (!file_) throw ToolError("cannot create " + outPath + ": " + std::strerror(errno));
    }
    ~TemporaryOutput()
    {
        if (file_) std::fclose(file_);
        if (!path_.empty()) RemoveFile(path_);
    }
    FILE *file() const { return file_; }
    const std::string &path() const { return path_; }
    void Close(const std::string &outPath)
    {
        bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!closed) throw ToolError("cannot write " + outPath + " (disk full?)");
    }
    // Puts the closed file in the output's place.
    void Commit(const std::string &outPath)
    {
        if (!RenameOver(path_, outPath))
            throw ToolError("cannot create " + outPath + ": " + std::strerror(errno));
        path_.clear();
    }

private:
    std::string path_;
    FILE *file_ = nullptr;
};

uint64_t FileSizeOf(const InputFile &file)
{
    std::error_code ec;
    uint64_t size = std::filesystem::file_size(FsPath(file.path), ec);
    if (ec) throw ToolError("cannot open " + file.path + ": " + ec.message());
    return size;
}

}  // namespace

BuildResult BuildInstallerFile(BuildRequest request, const std::string &outPath, const ReadProgress &progress,
                               const FinishedCheck &check)
{
    BuildPlan plan = PlanBuild(request);
    BuildResult result;
    result.blockOffset = plan.blockOffset;
    result.blockSize = plan.blockSize;
    result.blockOutgrewSection = plan.blockOutgrewSection;

    TemporaryOutput temporary(outPath);
    Output out(temporary.file(), outPath);
    ClearCheckSum(request.stub, plan);
    out.Write(request.stub.data(), request.stub.size());
    uint64_t end = request.stub.size();
    Bytes().swap(request.stub);
    if (end < plan.blockEnd) {
        Bytes room((size_t)(plan.blockEnd - end), 0);
        out.Write(room.data(), room.size());
        end = plan.blockEnd;
    }

    for (const InputFile &file : request.files) {
        uint64_t size = FileSizeOf(file);
        CheckInputFile(file, size);
        Input input(file, size, progress);
        PayloadEntry entry;
        entry.DataOffset = (uint32_t)end;
        std::memcpy(entry.Extension, file.extensionField.data(), ExtensionFieldSize);
        uint64_t stream = 0;
        if (request.compression != CompressMode::Stored) {
            out.Seek(end);
            stream = CompressEntry(request.compression, input, size, out);
            // The stream must give the file back before it goes into an installer.
            if (stream && !ExpandsToInput(out, end, (uint32_t)stream, input, size))
                throw ToolError("internal error: compressed entry does not expand to the file");
        }
        if (stream) {
            entry.StoredSize = (uint32_t)stream;
            entry.ExpandedSize = (uint32_t)size;
        } else {
            // Stored as it is, over the start of a stream that would not have been smaller.
            if (end + size > MaxInstallerBytes) throw ToolError("the installer would be larger than 2 GiB");
            if (request.compression != CompressMode::Stored) input.Rewind();
            out.Seek(end);
            CopyEntry(input, size, out);
            entry.StoredSize = (uint32_t)size;
            entry.ExpandedSize = 0;
        }
        if (end + entry.StoredSize > MaxInstallerBytes) throw ToolError("the installer would be larger than 2 GiB");
        end += entry.StoredSize;
        result.entries.push_back(entry);
    }

    Bytes block = ComposeBlock(request.licence, request.title, result.entries, request.integrityRecord);
    out.Seek(plan.blockOffset);
    out.Write(block.data(), block.size());
    // Zeros up to the signer's alignment behind the last entry, and nothing else, whatever an
    // earlier, longer attempt left in the file.
    end = (end + SignerAlignment - 1) / SignerAlignment * SignerAlignment;
    if (end > MaxInstallerBytes) throw ToolError("the installer would be larger than 2 GiB");
    if (!TruncateFile(out.file(), end)) out.Fail();
    if (request.integrityRecord) {
        uint64_t crcAt = plan.blockEnd - IntegrityRecordSize + IntegrityTagSize;
        Bytes field(4);
        PutU32(field, 0, SealedCrc(ReadAtFile, out.file(), end, crcAt, out.name()));
        out.Seek(crcAt);
        out.Write(field.data(), field.size());
        out.Flush();
    }
    temporary.Close(outPath);
    if (check) check(temporary.path());
    temporary.Commit(outPath);
    result.installerSize = end;
    return result;
}
