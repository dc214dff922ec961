// Test stand-in for the control panel's preview: a plain window at a fixed place that starts the
// screen saver given as its argument with "/p <this window>" and watches its child. Wine does not
// show what another process draws into a window, so the check is the window's side of it: a child
// of the screen saver's class covering the whole client area that keeps validating its painting.
// Exit code: 0 when all that held and the screen saver ended with its parent, 5 no such child,
// 6 the child never painted, 2 the screen saver did not end, else the screen saver's own code.
#include <windows.h>
#include <stdio.h>
#include <string.h>

enum { CheckTimerId = 1, CheckMs = 37, ChecksWanted = 40 };

static const char HostClass[] = "SamplePreviewHostClass";
static PROCESS_INFORMATION saver;
static int checks, childSeen, childPainted;

static void CheckChild(HWND window)
{
    HWND child = GetWindow(window, GW_CHILD);
    char name[64] = "";
    if (!child || !GetClassNameA(child, name, sizeof name) || strcmp(name, "SampleScreenSaverClass") != 0) return;
    DWORD process = 0;
    GetWindowThreadProcessId(child, &process);
    RECT own, inner;
    GetClientRect(window, &own);
    GetClientRect(child, &inner);
    if (process != saver.dwProcessId || !EqualRect(&own, &inner)) return;
    childSeen = 1;
    // A child that paints leaves no update region between its frames.
    RECT pending;
    if (!GetUpdateRect(child, &pending, FALSE)) childPainted = 1;
}

static LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER) {
        if (++checks <= ChecksWanted) CheckChild(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszClassName = HostClass;
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, HostClass, "Vorschau", WS_POPUP | WS_VISIBLE, 100, 100, 320, 240, NULL, NULL,
                                  instance, NULL);
    if (!window) return 3;
    char commandLine[600];
    snprintf(commandLine, sizeof commandLine, "\"%s\" /p %llu", arguments, (unsigned long long)(uintptr_t)window);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &saver)) return 4;
    SetTimer(window, CheckTimerId, CheckMs, NULL);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    DWORD code = 2;
    if (WaitForSingleObject(saver.hProcess, 10000) == WAIT_OBJECT_0) GetExitCodeProcess(saver.hProcess, &code);
    else TerminateProcess(saver.hProcess, 2);
    if (!childSeen) return 5;
    if (!childPainted) return 6;
    return (int)code;
}
