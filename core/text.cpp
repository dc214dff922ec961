// Bounded composition helpers shared by every part that builds a path or a message.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include "core/text.h"

int FormatText(char *buffer, size_t size, const char *format, ...)
{
    if (size == 0) return 0;
    va_list args;
    va_start(args, format);
#if defined(_WIN32)
    // The system's _vsnprintf (no formatting code of our own in the stub): it writes at most
    // size - 1 characters, terminates only when there is room left and returns -1 for a cut, so
    // the last byte is ours to set and a result of exactly size - 1 characters still fits.
    int n = _vsnprintf(buffer, size - 1, format, args);
    va_end(args);
    buffer[size - 1] = 0;
    return n >= 0;
#else
    int n = vsnprintf(buffer, size, format, args);
    va_end(args);
    buffer[size - 1] = 0;
    return n >= 0 && (size_t)n < size;
#endif
}

int CopyText(char *buffer, size_t size, const char *text)
{
    if (size == 0) return 0;
    buffer[0] = 0;
    return AppendText(buffer, size, text);
}

int AppendText(char *buffer, size_t size, const char *text)
{
    if (size == 0) return 0;
    size_t used = strnlen(buffer, size - 1);
    size_t add = strlen(text);
    size_t room = size - 1 - used;
    size_t n = add < room ? add : room;
    memcpy(buffer + used, text, n);
    buffer[used + n] = 0;
    return n == add;
}

int AppendBackslash(char *buffer, size_t size)
{
    size_t used = size ? strnlen(buffer, size - 1) : 0;
    if (used && buffer[used - 1] == '\\') return 1;
    return AppendText(buffer, size, "\\");
}
