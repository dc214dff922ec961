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
    ExtractSourceFailed = 0,       // the own file could not be had, opened or positioned: nothing created
    ExtractDone = 1,               // the entry has been processed (a cancel included)
    ExtractDestinationFailed = 2,  // the destination could not be created
};

// What the caller lends the streams for one entry.
struct ExtractHooks {
    int (*pumpPoint)(void);  // runs at each pump point; 1 when a cancel ends the entry there
    int32_t pumpInterval;    // produced bytes between two pump points
    int unlogged;            // no log line names the destination: a cut file is removed before the stop
};

// Expands the compressed entry at dataOffset of the program's own file (OwnFilePath) into the file
// destination, created or truncated; an ExtractResult. Never writes past expandedSize. A short
// write or a short read of the own file is a fatal stop; either removes the cut destination first
// when hooks->unlogged is set.
// instance: the program's module (unused: the own path comes from the file layer).
int ExtractEntry(void *instance, uint32_t dataOffset, uint32_t expandedSize, uint32_t storedSize,
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

// The progress check: a pump after the first token and then after each pumpInterval produced
// bytes; the pump's answer may end the entry there. ExtractEntry sets the hooks and PumpPoint.
extern const ExtractHooks *ProgressHooks;
extern int32_t PumpPoint;
int CheckProgress(int32_t produced);
