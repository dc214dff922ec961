// The installer's only top-level window, which owns the sequence's message boxes and dialogs.
#pragma once
#include <windows.h>

extern HWND BackdropWindow;  // created by WinMain; destroyed at the end of every sequence path
