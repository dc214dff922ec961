// The two small dialogs that need nothing but their templates, and the centring they share.
#pragma once
#include <windows.h>
#include "res/resource.h"

// Moves a window, unpainted, to the middle of the primary screen (not the work area).
void CentreOnScreen(HWND window);

// LicenceDialog (template LicenceDialogId): lParam is the NUL-terminated licence text; ends with
// IDOK (Accept) or IDCANCEL (Decline, the close box, Escape). Runs without owner window.
INT_PTR CALLBACK LicenceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// NoticeDialog (template NoticeDialogId), owned by the backdrop; no parameter, result unused.
INT_PTR CALLBACK NoticeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
