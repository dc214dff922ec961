// Reads INSTALL.LOG one destination path at a time through a small fixed buffer. A line ends at CR
// or LF; empty lines are passed over. A line that is too long for a path or holds control bytes is
// reported as damaged rather than cut, so a shortened path can never name a different file.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "core/fileio.h"

enum { LogChunkSize = 512 };

enum LogLineKind {
    LogLinePath,     // line holds a whole path of fewer than the line buffer's size characters
    LogLineDamaged,  // line holds a printable prefix of the damaged line (for the report)
    LogLineEnd       // no further line
};

struct LogReader {
    FileHandle file;
    unsigned char chunk[LogChunkSize];
    uint32_t filled;
    uint32_t pos;
    int atEnd;
};

void OpenLogReader(LogReader *reader, FileHandle file);
// size must be at least 2.
LogLineKind ReadLogLine(LogReader *reader, char *line, size_t size);
