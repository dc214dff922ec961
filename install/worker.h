// The install worker behind the progress dialog: writes every payload entry, the install log and
// the system registration, inside the dialog's own IDOK command.
#pragma once
#include <windows.h>
#include "res/resource.h"

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
