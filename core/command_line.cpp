// See command_line.h. Portable, so the host's tests read the same rule the programs use.
#include "core/command_line.h"

static int IsBlankByte(char c)
{
    return c != 0 && (unsigned char)c <= ' ';
}

const char *CommandTail(const char *line)
{
    if (*line == '"') {
        for (line++; *line && *line != '"'; line++) {}
        if (*line == '"') line++;
    } else {
        while ((unsigned char)*line > ' ') line++;
    }
    while (IsBlankByte(*line)) line++;
    return line;
}
