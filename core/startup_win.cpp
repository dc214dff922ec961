// The process entry of the GUI programs, in place of the C runtime's start-up code: they use no
// constructors, thread-local data, atexit or floating point, and the runtime functions they call
// come from the system's msvcrt.dll, which initialises itself. This keeps the start-up code, its
// unwind tables and its sections out of every installer we ship.
#include <windows.h>
#include "core/command_line.h"
#include "core/system_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int showCommand);

// The system enters with a stack aligned to 4 bytes; the compiler's code assumes 16.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void WinMainCRTStartup(void)
{
    RestrictDllSearch();
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int showCommand = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, (LPSTR)CommandTail(GetCommandLineA()), showCommand));
}
