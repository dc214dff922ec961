// Bounded composition helpers shared by every part that builds a path or a message.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include "core/text.h"

// Windows: the system's own formatter from msvcrt.dll, so the stub carries no formatting code. It
// returns -1 for a cut, or size for a result of exactly size characters, then unterminated; the
// one check below serves it and the C99 formatter alike.
#if defined(_WIN32)
#define FormatInto _vsnprintf
#else
#define FormatInto vsnprintf
#endif

int FormatText(char *buffer, size_t size, const char *format, ...)
{
    if (size == 0) return 0;
    va_list args;
    va_start(args, format);
    int n = FormatInto(buffer, size, format, args);
    va_end(args);
    buffer[size - 1] = 0;  // the system's formatter leaves a result of exactly size characters unterminated
    return n >= 0 && (size_t)n < size;
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

void UpperCaseAscii(char *text)
{
    for (; *text; text++)
        if (*text >= 'a' && *text <= 'z') *text = (char)(*text - 'a' + 'A');
}
