// The entry streams of the installer: the decoder fed from the program's own file in 16 KB blocks,
// its output written to the destination in 16 KB chunks, and the progress check that keeps the
// dialogs alive and honours a cancel. One global instance of each; portable (core/fileio.h).
// The pump, the cancel and the log belong to the caller: they come in as hooks.
#pragma once
#include <stdint.h>
#include "core/fileio.h"
#include "lzh/decoder.h"

enum { StreamBlockSize = 16384 };  // one read of stored bytes, one write of output

enum ExtractResult {
    ExtractSourceFailed = 0,       // the own file could not be positioned at the entry: nothing created
    ExtractDone = 1,               // the entry has been processed (a cancel included)
    ExtractDestinationFailed = 2,  // the destination could not be created
};

// What the caller lends the streams for one entry.
struct ExtractHooks {
    // A pump point with the bytes produced so far and the stream's next point (the caller's one
    // rule, install/cancel.h); 1 when a cancel ends the entry there.
    int (*pumpPoint)(uint32_t produced, uint32_t *pumpPoint);
    int unlogged;  // no log line names the destination: a cut file is removed before the stop
};

// Expands the compressed entry at dataOffset of source (the program's own file, held open by the
// caller, who also closes it) into the file destination, created or truncated; an ExtractResult.
// Never writes past expandedSize. A short write or a short read of the source is a fatal stop;
// either removes the cut destination first when hooks->unlogged is set.
int ExtractEntry(FileHandle source, uint32_t dataOffset, uint32_t expandedSize, uint32_t storedSize,
                 const char *destination, const ExtractHooks *hooks);

// ---- The pieces, for the tests ------------------------------------------------------------------
// The read stream: a refill asks for min(remaining, 16384) bytes of the file; anything short of
// that is a fatal stop (FatalReadFailure), so wrong bytes are never decoded.
void ResetReadPtr(FileHandle file);
void ReadPtr(ExpandSource *source, uint32_t remaining);
extern ExpandSource ReadStream;

// The write stream: gathers chunks of min(total - flushed, 16384) bytes and writes each in one call;
// the surplus of a final match beyond total is dropped. A short write is a fatal stop
// (FatalShortWrite naming the destination).
void ResetWritePtr(FileHandle file, const char *destination);
void WritePtr(ExpandSink *sink, int32_t total);
extern ExpandSink WriteStream;

// The progress check: the caller's pump point after every token, with the bytes produced so far;
// its answer may end the entry there. ExtractEntry sets the hooks and PumpPoint.
extern const ExtractHooks *ProgressHooks;
extern uint32_t PumpPoint;
int CheckProgress(int32_t produced);
