// Line splitting of INSTALL.LOG over the handle file layer; see log_reader.h.
#include "uninstall/log_reader.h"
#include "core/layout.h"

void OpenLogReader(LogReader *reader, FileHandle file)
{
    reader->file = file;
    reader->filled = 0;
    reader->pos = 0;
    reader->atEnd = file == FileError;
}

// The next byte of the log, or -1 at its end (a failed read counts as the end).
static int NextByte(LogReader *reader)
{
    if (reader->pos == reader->filled) {
        if (reader->atEnd) return -1;
        reader->filled = FileRead(reader->file, reader->chunk, LogChunkSize);
        reader->pos = 0;
        if (reader->filled == 0) {
            reader->atEnd = 1;
            return -1;
        }
    }
    return reader->chunk[reader->pos++];
}

LogLineKind ReadLogLine(LogReader *reader, char *line, size_t size)
{
    for (;;) {
        size_t length = 0;  // bytes of the line seen, stored or not
        size_t stored = 0;
        int damaged = 0;
        int c;
        while ((c = NextByte(reader)) >= 0 && c != '\r' && c != '\n') {
            if (ControlByte((unsigned char)c)) {  // the installer's name rule: no title or extension holds one
                damaged = 1;
                c = '?';
            }
            if (stored < size - 1) line[stored++] = (char)c;
            length++;
        }
        line[stored] = 0;
        if (length >= size) damaged = 1;
        if (length > 0) return damaged ? LogLineDamaged : LogLinePath;
        if (c < 0) return LogLineEnd;
    }
}
