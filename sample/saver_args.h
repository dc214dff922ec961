// The screen saver's command line as Windows and its control panel write it: "/s" full screen,
// "/p HWND" preview into that window, "/c" or "/c:HWND" settings, "/a" password (Windows 9x).
// Either slash or dash, any case, the window number after a blank or a colon.
#pragma once
#include <stdint.h>

enum SaverMode { SaverSettings, SaverFullScreen, SaverPreview, SaverPassword };

struct SaverArgs {
    SaverMode mode;
    uint64_t window;  // the window given with /p, /c or /a; 0 when none
};

// arguments: the command line without the program's name. No argument means the settings.
SaverArgs ParseSaverArgs(const char *arguments);
