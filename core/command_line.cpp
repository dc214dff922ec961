// See command_line.h. Portable, so the host's tests read the same rule the programs use.
#include "core/command_line.h"

const char *CommandTail(const char *line)
{
    if (*line == '"') {
        for (line++; *line && *line != '"'; line++) {}
        if (*line == '"') line++;
    } else {
        while ((unsigned char)*line > ' ') line++;
    }
    while (*line == ' ' || *line == '\t') line++;
    return line;
}
