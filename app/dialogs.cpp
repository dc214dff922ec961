// The licence and notice dialogs: both centre themselves and end on their two button commands. The
// licence comes straight from the payload block.
#include "app/dialogs.h"
#include "core/bytes.h"
#include "core/fatal.h"
#include "payload/block.h"

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

// The licence text goes from the payload block into a zero-filled global block one byte longer than
// the text, so a text without terminator (or with a NUL inside) is shown up to its first NUL.
static int RunLicenceDialog(HINSTANCE instance, FileHandle block, uint32_t length)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 1);
    if (!memory) return 1;
    char *text = (char *)GlobalLock(memory);
    if (!text) {
        GlobalFree(memory);
        return 1;
    }
    int result = 1;
    if (FileReadAll(block, text, length)) {
        INT_PTR end = DialogBoxParamA(instance, MAKEINTRESOURCEA(LicenceDialogId), NULL, LicenceDialogProc,
                                      (LPARAM)text);
        // Only its two buttons end it: anything else (-1) is no answer, and no licence was shown.
        if (end != IDOK && end != IDCANCEL) FatalStop(FatalWindowFailed, NULL);
        result = end == IDOK;
    }
    GlobalUnlock(memory);
    GlobalFree(memory);
    return result;
}

int ShowLicence(HINSTANCE instance)
{
    FileHandle block = OpenPayloadBlock();
    if (block == FileError) return 1;
    uint8_t word[LicenceLengthSize];
    int result = 1;
    if (FileReadAll(block, word, sizeof word)) {
        uint32_t length = GetU16(word);
        if (length) result = RunLicenceDialog(instance, block, length);
    }
    FileClose(block);
    return result;
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
