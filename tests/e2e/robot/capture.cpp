// Screen capture with GDI from inside the session: the program's windows are grabbed the moment
// the robot finds them, which an outside screenshot could miss for a window that lives a second.
#include <cstdio>

#include "tests/e2e/robot/robot.h"

namespace robot {

bool CaptureRect(const RECT &r, std::vector<COLORREF> *pixels)
{
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bmp) {
        HGDIOBJ old = SelectObject(mem, bmp);
        ok = BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
        if (ok) {
            const DWORD *p = (const DWORD *)bits;
            pixels->resize((size_t)w * h);
            for (size_t i = 0; i < pixels->size(); ++i)
                (*pixels)[i] = RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF);
        }
        SelectObject(mem, old);
        DeleteObject(bmp);
    }
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

// BMP fields are little-endian, written byte by byte.
static void Put16(FILE *f, unsigned v)
{
    fputc(v & 0xFF, f);
    fputc((v >> 8) & 0xFF, f);
}

static void Put32(FILE *f, unsigned long v)
{
    Put16(f, v & 0xFFFF);
    Put16(f, (v >> 16) & 0xFFFF);
}

// A plain 24-bit bottom-up BMP of the whole primary screen.
std::string CaptureScreen(const std::wstring &path, bool still)
{
    RECT r = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    std::vector<COLORREF> pixels, again;
    if (!CaptureRect(r, &pixels)) return "screen capture failed";
    // still: a slow program (a 32-bit one under an emulated loader, say) may still be painting, or
    // its paint not yet on the display: the picture is the first that two grabs 150 ms apart agree on.
    for (int tries = 0; still && tries < 40; ++tries) {
        Sleep(150);
        if (!CaptureRect(r, &again)) return "screen capture failed";
        if (again == pixels) break;
        pixels.swap(again);
    }
    FILE *f = _wfopen(path.c_str(), L"wb");
    if (!f) return "cannot write " + Utf8(path);
    int w = r.right, h = r.bottom;
    unsigned long rowBytes = ((unsigned long)w * 3 + 3) & ~3ul;
    unsigned long imageBytes = rowBytes * h;
    fputc('B', f);
    fputc('M', f);
    Put32(f, 54 + imageBytes);
    Put32(f, 0);
    Put32(f, 54);
    Put32(f, 40);
    Put32(f, w);
    Put32(f, h);
    Put16(f, 1);
    Put16(f, 24);
    Put32(f, 0);
    Put32(f, imageBytes);
    Put32(f, 2835);
    Put32(f, 2835);
    Put32(f, 0);
    Put32(f, 0);
    std::vector<unsigned char> row(rowBytes, 0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            COLORREF c = pixels[(size_t)y * w + x];
            row[x * 3] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
        fwrite(row.data(), 1, rowBytes, f);
    }
    bool ok = ferror(f) == 0;
    fclose(f);
    return ok ? "" : "short write to " + Utf8(path);
}

}  // namespace robot
