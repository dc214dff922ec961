// The sample screen saver: "/s" full screen, "/p HWND" the preview, "/c" (and no argument) the
// settings message. It shows the title it was installed under: its own file name.
#include <windows.h>
#include <string.h>
#include "core/system_win.h"
#include "core/text.h"
#include "sample/saver.h"
#include "sample/saver_args.h"
#include "sample/scene.h"

char SaverTitle[260] = "Sample";

static void TakeTitleFromFileName(void)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    if (n == 0 || n >= sizeof path) return;
    char *name = strrchr(path, '\\');
    name = name ? name + 1 : path;
    char *dot = strrchr(name, '.');
    if (dot) *dot = 0;
    if (*name) CopyText(SaverTitle, sizeof SaverTitle, name);
}

int ShowSettings(HWND owner)
{
    char text[512];
    FormatText(text, sizeof text,
               "%s hat keine Einstellungen.\n\nDer Bildschirmschoner zeigt Polarlichter am Nachthimmel. "
               "Er endet, sobald Sie die Maus bewegen oder eine Taste drücken.",
               SaverTitle);
    MessageBoxA(owner, text, SaverTitle, MB_OK | MB_ICONINFORMATION);
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int)
{
    RestrictDllSearch();
    TakeTitleFromFileName();
    InitScene(SaverTitle);
    SaverArgs args = ParseSaverArgs(arguments ? arguments : "");
    HWND window = (HWND)(uintptr_t)args.window;
    switch (args.mode) {
    case SaverFullScreen: return RunFullScreen(instance);
    case SaverPreview: return RunPreview(instance, window);
    case SaverPassword: return 0;  // no password of its own
    case SaverSettings: break;
    }
    return ShowSettings(IsWindow(window) ? window : NULL);
}
