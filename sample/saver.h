// The sample screen saver's three ways of running, chosen by its command line (main.cpp).
#pragma once
#include <windows.h>

// Full screen until a key, a click or a real mouse move; returns the exit code.
int RunFullScreen(HINSTANCE instance);
// Draws into a child of parent until parent goes away.
int RunPreview(HINSTANCE instance, HWND parent);
// The small settings message, owned by owner (may be null).
int ShowSettings(HWND owner);

extern char SaverTitle[260];  // the title shown: the screen saver's file name without ".scr"
