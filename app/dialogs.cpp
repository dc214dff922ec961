// The licence and notice dialogs: both centre themselves and end on their two button commands.
#include "app/dialogs.h"

void CentreOnScreen(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    int w = r.right - r.left;
    int h = r.bottom - r.top;
    MoveWindow(window, GetSystemMetrics(SM_CXSCREEN) / 2 - w / 2, GetSystemMetrics(SM_CYSCREEN) / 2 - h / 2, w, h,
               FALSE);
}

// Only the plain button commands end a dialog: a notification from a control (such as the licence
// text box) carries a non-zero code in the high word and never equals 1 or 2 as a whole.
static int IsEndCommand(WPARAM wParam)
{
    return wParam == IDOK || wParam == IDCANCEL;
}

INT_PTR CALLBACK LicenceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetDlgItemTextA(dialog, LicenceTextId, (const char *)lParam);
        CentreOnScreen(dialog);
        HWND text = GetDlgItem(dialog, LicenceTextId);
        SetFocus(text);
        // Posted, so it lands after the dialog manager has selected the focused text.
        PostMessageA(text, EM_SETSEL, (WPARAM)-1, 0);
        return FALSE;  // the focus is set already
    }
    if (message == WM_COMMAND && IsEndCommand(wParam)) {
        EndDialog(dialog, (INT_PTR)wParam);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK NoticeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        CentreOnScreen(dialog);
        return TRUE;  // the system focuses the OK button
    }
    if (message == WM_COMMAND && IsEndCommand(wParam)) {
        EndDialog(dialog, (INT_PTR)wParam);
        return TRUE;
    }
    return FALSE;
}
