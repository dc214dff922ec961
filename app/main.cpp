// The entry point and the installer's only top-level window: a borderless backdrop over the work
// area, painted as a blue gradient with the title, whose first timer message runs the sequence.
#include <windows.h>
#include "app/sequence.h"
#include "core/fatal.h"
#include "core/installer_texts.h"
#include "core/state.h"
#include "core/text.h"
#include "payload/block.h"

static const char BackdropClassName[] = "VistaworksInstallClass";
enum { HeadingSize = 256, BandCount = 256, HeadingPoints = 48, ShadowOffset = 2 };

static HWND BackdropWindow;  // the only top-level window: it owns the sequence's message boxes and dialogs
static int ExitCode = ExitFailed;  // the sequence's, once it has run; a backdrop closed before it ran installed nothing

// Font smoothing is switched off for the paint so the large heading keeps hard edges on the
// gradient, and switched back on afterwards only if this paint switched it off.
static int SwitchFontSmoothingOff(void)
{
    BOOL smoothing = FALSE;
    if (!SystemParametersInfoA(SPI_GETFONTSMOOTHING, 0, &smoothing, 0) || !smoothing) return 0;
    return SystemParametersInfoA(SPI_SETFONTSMOOTHING, FALSE, NULL, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE) != 0;
}

// Band k covers rows [k * H / 256, (k + 1) * H / 256): the single-precision step H / 256 is exact
// for every window height, so integer division gives the same rows and the last band ends at H.
static void PaintGradient(HDC dc, const RECT *client)
{
    LONG height = client->bottom;
    for (int k = 0; k < BandCount; k++) {
        RECT band = {0, (LONG)(k * height / BandCount), client->right + 1, (LONG)((k + 1) * height / BandCount)};
        int blue = k == 0 ? 255 : 256 - k;  // the top two bands are both 255, the last one 1
        HBRUSH brush = CreateSolidBrush(RGB(0, 0, blue));
        FillRect(dc, &band, brush);
        DeleteObject(brush);
    }
}

static void PaintHeading(HDC dc, RECT *area)
{
    char heading[HeadingSize];
    ComposeSaverName(ScreenSaverTitle, heading, sizeof heading);  // a long title is cut

    HFONT font = CreateFontA(-MulDiv(HeadingPoints, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_DONTCARE,
                             FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    HGDIOBJ previousFont = SelectObject(dc, font);
    int previousMode = SetBkMode(dc, TRANSPARENT);
    COLORREF previousColour = SetTextColor(dc, RGB(0, 0, 0));

    area->left += GetDeviceCaps(dc, LOGPIXELSX) / 3;
    area->top += GetDeviceCaps(dc, LOGPIXELSY) / 4;
    DrawTextA(dc, heading, -1, area, DT_WORDBREAK | DT_NOPREFIX);  // the shadow
    OffsetRect(area, -ShadowOffset, -ShadowOffset);
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextA(dc, heading, -1, area, DT_WORDBREAK | DT_NOPREFIX);

    SetTextColor(dc, previousColour);
    SetBkMode(dc, previousMode);
    SelectObject(dc, previousFont);
    DeleteObject(font);
}

static void PaintBackdrop(HWND window)
{
    int restoreSmoothing = SwitchFontSmoothingOff();
    RECT area;
    GetClientRect(window, &area);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);

    PaintGradient(dc, &area);
    HBRUSH white = (HBRUSH)GetStockObject(WHITE_BRUSH);
    FrameRect(dc, &area, white);
    InflateRect(&area, -1, -1);
    FrameRect(dc, &area, white);
    PaintHeading(dc, &area);

    EndPaint(window, &paint);
    if (restoreSmoothing) SystemParametersInfoA(SPI_SETFONTSMOOTHING, TRUE, NULL, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
}

static LRESULT CALLBACK BackdropWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        ReadScreenSaverTitle(ScreenSaverTitle);
        SetWindowTextA(window, ScreenSaverTitle);
        SetTimer(window, StartTimerId, 1000, NULL);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        PaintBackdrop(window);
        return 0;
    case WM_TIMER:
        // The sequence kills the only timer first, so it runs once whatever the identifier.
        ExitCode = RunInstallSequence(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    // Before anything else, the file that will be checked and installed is held, shared for reading
    // only, until the process ends: its path can no longer be made to name another file, and every
    // payload read goes through this handle. A path too long for the reader holds nothing, and the
    // pre-check refuses it.
    char own[OwnPathSize];
    if (OwnFilePath(own, sizeof own)) HoldOwnFile(own);

    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = BackdropWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_WAIT);
    windowClass.lpszClassName = BackdropClassName;
    if (!RegisterClassA(&windowClass)) FatalStop(FatalWindowFailed, NULL);

    RECT work;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
        SetRect(&work, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    }
    BackdropWindow = CreateWindowExA(0, BackdropClassName, "TITLE", WS_POPUP | WS_VISIBLE, work.left, work.top,
                                     work.right - work.left, work.bottom - work.top, NULL, NULL, instance, NULL);
    if (!BackdropWindow) FatalStop(FatalWindowFailed, NULL);
    ShowWindow(BackdropWindow, showCommand);
    UpdateWindow(BackdropWindow);

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return ExitCode;
}
