// The entry streams of the installer: the decoder fed from the program's own file in 16 KB blocks,
// its output written to the destination in 16 KB chunks, and the progress check that keeps the
// dialogs alive and honours a cancel. One global instance of each; portable (core/fileio.h).
#pragma once
#include <stdint.h>
#include "core/fileio.h"
#include "lzh/decoder.h"

enum { StreamBlockSize = 16384 };  // one read of stored bytes, one write of output

enum ExtractResult {
    ExtractSourceFailed = 0,       // the own file could not be had, opened or positioned: nothing created
    ExtractDone = 1,               // the entry has been processed (a cancel included)
    ExtractDestinationFailed = 2,  // the destination could not be created
};

// Expands the compressed entry at dataOffset of the program's own file (OwnFilePath) into the file
// destination, created or truncated; an ExtractResult. Never writes past expandedSize. A short
// write or a short read of the own file is a fatal stop; either removes the cut destination first
// when its log line is missing (DestinationUnlogged).
// instance: the program's module (unused: the own path comes from the file layer).
int ExtractEntry(void *instance, uint32_t dataOffset, uint32_t expandedSize, uint32_t storedSize,
                 const char *destination);

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

// The progress check: a pump after the first token and then after each 102400 produced bytes;
// a cancel ends the entry at a pump unless the entry may not be cancelled.
extern int32_t PumpPoint;
int CheckProgress(int32_t produced);
