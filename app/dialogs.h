// The licence and notice dialogs, the centring they share, and the licence shown from the payload.
#pragma once
#include <windows.h>
#include "res/resource.h"

// Moves a window, unpainted, to the middle of the primary screen (not the work area).
void CentreOnScreen(HWND window);

// LicenceDialog (template LicenceDialogId): lParam is the NUL-terminated licence text; ends with
// IDOK (Accept) or IDCANCEL (Decline, the close box, Escape). Runs without owner window.
INT_PTR CALLBACK LicenceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the payload's licence in LicenceDialog. 1 when it was accepted or there is none to show (or
// it cannot be read completely); 0 when it was declined. A dialog that cannot be shown is the fatal
// stop.
int ShowLicence(HINSTANCE instance);

// NoticeDialog (template NoticeDialogId), owned by the backdrop; no parameter, result unused.
INT_PTR CALLBACK NoticeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
