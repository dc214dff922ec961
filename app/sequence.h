// The install sequence: runs once, inside the backdrop's first WM_TIMER, and always ends by
// destroying the backdrop.
#pragma once
#include <windows.h>

enum { StartTimerId = 1000 };

void RunInstallSequence(HWND backdrop);
