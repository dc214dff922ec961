// The fatal stop's platform calls on Windows.
#include <windows.h>
#include "core/fatal.h"
#include "core/installer_texts.h"

void ShowFatalMessage(const char *text)
{
    MessageBoxA(NULL, text, FatalCaption, MB_OK | MB_ICONERROR);
}

void EndProcess(int code)
{
    ExitProcess((UINT)code);
}
