// The uninstaller's command line; see arguments.h.
#include <string.h>
#include "core/command_line.h"
#include "uninstall/arguments.h"
#include "uninstall/path_rules.h"

const char *UninstallerArguments(const char *commandLine, const char *ownPath)
{
    size_t n = strlen(ownPath);
    if (commandLine[0] != '"' && n && SamePathPrefix(commandLine, ownPath, n) &&
        (unsigned char)commandLine[n] <= ' ')
        return CommandTail(commandLine + n);
    return CommandTail(commandLine);
}

int WantsSilentRun(const char *arguments)
{
    const char *p = arguments;
    for (;;) {
        while (*p == ' ' || *p == '\t') p++;
        if (*p == 0) return 0;
        const char *start = p;
        while (*p && *p != ' ' && *p != '\t') p++;
        if (p - start == 2 && (start[0] == '/' || start[0] == '-') && (start[1] == 's' || start[1] == 'S')) return 1;
    }
}
