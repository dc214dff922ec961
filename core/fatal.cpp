// The fatal stop: its text from the installer's texts, shown by the platform (fatal_win / fatal_host).
#include "core/fatal.h"
#include "core/installer_texts.h"

void FatalStop(enum FatalKind kind, const char *path)
{
    char text[512 + 260];
    ComposeFatalText(kind, path, text, sizeof text);
    ShowFatalMessage(text);
    EndProcess(FatalExitCode);
}
