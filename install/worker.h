// The install worker behind the progress dialog: writes every payload entry, the install log and
// the system registration, inside the dialog's own IDOK command.
#pragma once
#include <windows.h>
#include "res/resource.h"

// The dialog's end codes, DialogBoxParamA's result for the sequence: the access error ends it
// before anything is written; every other run ends as installed, a cancel with CancelRequested set.
enum { EndedInstalled = 1, EndedAccessDenied = 2 };

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
