// The screen saver's window, full screen or as the preview's child: it redraws the scene on a
// timer through an off-screen bitmap, so the picture never flickers.
#include <windows.h>
#include "sample/saver.h"
#include "sample/scene.h"

enum { FrameTimerId = 1, FrameMs = 50, MoveTolerance = 8 };

static const char SaverClass[] = "SampleScreenSaverClass";
static int previewMode;
static DWORD startTicks;
static POINT firstMouse;
static int mouseSeen;

static void Paint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    int width = client.right, height = client.bottom;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width > 0 ? width : 1, height > 0 ? height : 1);
    HGDIOBJ old = SelectObject(memory, bitmap);
    DrawScene(memory, width, height, (GetTickCount() - startTicks) / 1000.0);
    BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(window, &paint);
}

// Windows sends a mouse move or two when the window appears and the cursor jitters a pixel:
// only a move of some distance from the first position seen counts.
static int IsRealMouseMove(LPARAM lParam)
{
    POINT now = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    if (!mouseSeen) {
        firstMouse = now;
        mouseSeen = 1;
        return 0;
    }
    int dx = now.x - firstMouse.x, dy = now.y - firstMouse.y;
    return dx * dx + dy * dy > MoveTolerance * MoveTolerance;
}

static LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        SetTimer(window, FrameTimerId, FrameMs, NULL);
        // The cursor's place at the start is the reference, whether or not a first move arrives.
        if (!previewMode && GetCursorPos(&firstMouse) && ScreenToClient(window, &firstMouse)) mouseSeen = 1;
        return 0;
    case WM_TIMER:
        InvalidateRect(window, NULL, FALSE);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_DESTROY:
        KillTimer(window, FrameTimerId);
        PostQuitMessage(0);
        return 0;
    }
    if (!previewMode) {
        switch (message) {
        case WM_SETCURSOR:
            SetCursor(NULL);
            return TRUE;
        case WM_MOUSEMOVE:
            if (IsRealMouseMove(lParam)) DestroyWindow(window);
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            DestroyWindow(window);
            return 0;
        case WM_SYSCOMMAND:
            if (wParam == SC_SCREENSAVE || wParam == SC_CLOSE) return 0;  // already running; no Alt+F4 detour
            break;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static int RegisterSaverClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = SaverWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
    windowClass.lpszClassName = SaverClass;
    return RegisterClassA(&windowClass) != 0;
}

static int MessageLoop(void)
{
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

int RunFullScreen(HINSTANCE instance)
{
    if (!RegisterSaverClass(instance)) return 1;
    startTicks = GetTickCount();
    int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) {  // systems without several monitors' metrics
        x = y = 0;
        width = GetSystemMetrics(SM_CXSCREEN);
        height = GetSystemMetrics(SM_CYSCREEN);
    }
    HWND window = CreateWindowExA(WS_EX_TOPMOST, SaverClass, SaverTitle, WS_POPUP | WS_VISIBLE, x, y, width, height,
                                  NULL, NULL, instance, NULL);
    if (!window) return 1;
    SetForegroundWindow(window);
    ShowCursor(FALSE);
    MessageLoop();
    ShowCursor(TRUE);
    return 0;
}

int RunPreview(HINSTANCE instance, HWND parent)
{
    if (!IsWindow(parent) || !RegisterSaverClass(instance)) return 1;
    previewMode = 1;
    startTicks = GetTickCount();
    RECT area;
    GetClientRect(parent, &area);
    HWND window = CreateWindowExA(0, SaverClass, SaverTitle, WS_CHILD | WS_VISIBLE, 0, 0, area.right, area.bottom,
                                  parent, NULL, instance, NULL);
    if (!window) return 1;
    return MessageLoop();
}
