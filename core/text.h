// Bounded text and path composition: every call takes the buffer's size, always leaves the buffer
// terminated and returns 1 only when the whole result fit (0 when it had to be cut).
#pragma once
#include <stddef.h>

int FormatText(char *buffer, size_t size, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
int CopyText(char *buffer, size_t size, const char *text);
int AppendText(char *buffer, size_t size, const char *text);
// Appends a backslash unless the text already ends with one (a drive root such as C:\).
int AppendBackslash(char *buffer, size_t size);

// 'a'..'z' to 'A'..'Z' in place; every other byte, accented letters included, stays.
void UpperCaseAscii(char *text);
