// The entry streams between the decoder and the files: 16 KB blocks in, 16 KB chunks out, and the
// progress check after every token. Single instances, reset by ExtractEntry for every entry.
#include "lzh/streams.h"
#include "core/fatal.h"

static struct {
    FileHandle file;
    uint8_t buffer[StreamBlockSize];
} Read;

static struct {
    FileHandle file;
    const char *destination;
    int unlogged;      // a cut file would stay behind unnoticed: remove it before the stop
    uint32_t flushed;  // bytes in the file so far
    int dropping;      // the file is complete: what still arrives is the surplus of a final match
    uint8_t buffer[StreamBlockSize];
} Write;

ExpandSource ReadStream;
ExpandSink WriteStream;
const ExtractHooks *ProgressHooks;
uint32_t PumpPoint;

void ResetReadPtr(FileHandle file)
{
    Read.file = file;
    ReadStream = ExpandSource{Read.buffer, Read.buffer, ReadPtr, 0};
}

// remaining counts the bytes still in the buffer as well, so a refill never asks for a byte past
// the entry's stored data. A refill that comes back short would feed the decoder stale bytes and
// give a complete file of wrong data: the installation stops instead.
void ReadPtr(ExpandSource *source, uint32_t remaining)
{
    uint32_t request = remaining < (uint32_t)StreamBlockSize ? remaining : (uint32_t)StreamBlockSize;
    if (!FileReadAll(Read.file, Read.buffer, request)) {
        // As after a short write: a cut file without its log line would stay behind unnoticed.
        if (Write.file != FileError) FileClose(Write.file);
        if (Write.unlogged && Write.destination) FileRemove(Write.destination);
        FatalStop(FatalReadFailure, 0);
    }
    source->next = Read.buffer;
    source->end = Read.buffer + request;
}

void ResetWritePtr(FileHandle file, const char *destination)
{
    Write.file = file;
    Write.destination = destination;
    Write.flushed = 0;
    Write.dropping = 0;
    WriteStream = ExpandSink{Write.buffer, Write.buffer, WritePtr, 0};
}

// Runs whenever the chunk window is full (and once at the start, empty): writes the chunk in one
// call and opens the next one, min(total - flushed, 16384) bytes, so the last chunk ends exactly at
// total. Once the file holds total bytes, the rest is dropped.
void WritePtr(ExpandSink *sink, int32_t total)
{
    uint32_t fill = (uint32_t)(sink->next - Write.buffer);
    if (!Write.dropping && fill > 0) {
        if (FileWrite(Write.file, Write.buffer, fill) != fill) {
            // A cut file without its log line would stay behind unnoticed.
            FileClose(Write.file);
            if (Write.unlogged) FileRemove(Write.destination);
            FatalStop(FatalShortWrite, Write.destination);
        }
        Write.flushed += fill;
    }
    sink->next = Write.buffer;
    if (Write.dropping || total <= 0 || Write.flushed >= (uint32_t)total) {
        Write.dropping = 1;
        sink->end = Write.buffer + StreamBlockSize;
        return;
    }
    uint32_t rest = (uint32_t)total - Write.flushed;
    sink->end = Write.buffer + (rest < (uint32_t)StreamBlockSize ? rest : (uint32_t)StreamBlockSize);
}

// The caller's pump point after every token; only there can a cancel end the entry.
int CheckProgress(int32_t produced)
{
    return !ProgressHooks->pumpPoint((uint32_t)produced, &PumpPoint);
}

int ExtractEntry(FileHandle source, uint32_t dataOffset, uint32_t expandedSize, uint32_t storedSize,
                 const char *destination, const ExtractHooks *hooks)
{
    ResetReadPtr(FileError);
    ResetWritePtr(FileError, destination);
    Write.unlogged = hooks->unlogged;
    ProgressHooks = hooks;

    if (source == FileError || dataOffset > (uint32_t)INT32_MAX ||
        FileSeek(source, (int32_t)dataOffset, SeekSet) != (int32_t)dataOffset)
        return ExtractSourceFailed;
    FileHandle out = FileCreate(destination);
    if (out == FileError) return ExtractDestinationFailed;
    ResetReadPtr(source);
    ResetWritePtr(out, destination);
    PumpPoint = 0;
    ExpandStream(&ReadStream, &WriteStream, CheckProgress, (int32_t)expandedSize, storedSize);
    FileClose(out);
    return ExtractDone;
}
