// The fatal stop's platform calls on the host: tests see the text on stderr and the exit code.
#include <stdio.h>
#include <stdlib.h>
#include "core/fatal.h"
#include "core/installer_texts.h"

void ShowFatalMessage(const char *text)
{
    fprintf(stderr, "%s: %s\n", FatalCaption, text);
}

void EndProcess(int code)
{
    fflush(NULL);
    _Exit(code);
}
