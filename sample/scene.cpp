// Drawing the scene; see scene.h. Everything follows from the time, so the animation runs at the
// same pace whatever the frame rate.
#include <math.h>
#include <string.h>
#include "core/text.h"
#include "sample/scene.h"

enum { StarCount = 90, RibbonCount = 3, RibbonStep = 4 };

struct Star {
    float x, y;      // 0..1 of the screen
    float phase;     // twinkle phase
    float speed;     // twinkle speed
};

static Star stars[StarCount];
static char sceneTitle[260];

// A small fixed sequence so that the sky looks the same on every start.
static unsigned NextRandom(unsigned *seed)
{
    *seed = *seed * 1664525u + 1013904223u;
    return *seed >> 8;
}

void InitScene(const char *title)
{
    CopyText(sceneTitle, sizeof sceneTitle, title);
    unsigned seed = 20061207u;
    for (Star &star : stars) {
        star.x = (float)(NextRandom(&seed) % 10000) / 10000.0f;
        star.y = (float)(NextRandom(&seed) % 10000) / 10000.0f * 0.85f;
        star.phase = (float)(NextRandom(&seed) % 628) / 100.0f;
        star.speed = 0.6f + (float)(NextRandom(&seed) % 100) / 60.0f;
    }
}

static int Mix(int a, int b, double t)
{
    if (t < 0) t = 0;
    if (t > 1) t = 1;
    return a + (int)((b - a) * t);
}

static void DrawSky(HDC dc, int width, int height)
{
    enum { Bands = 48 };
    for (int i = 0; i < Bands; i++) {
        double t = (double)i / (Bands - 1);
        RECT band = {0, height * i / Bands, width, height * (i + 1) / Bands};
        HBRUSH brush = CreateSolidBrush(RGB(Mix(4, 10, t), Mix(8, 30, t), Mix(28, 52, t)));
        FillRect(dc, &band, brush);
        DeleteObject(brush);
    }
}

static void DrawStars(HDC dc, int width, int height, double seconds)
{
    int size = width >= 400 ? 2 : 1;
    for (const Star &star : stars) {
        double glow = 0.55 + 0.45 * sin(star.phase + seconds * star.speed);
        int level = (int)(120 + 135 * glow);
        RECT dot = {(int)(star.x * width), (int)(star.y * height), 0, 0};
        dot.right = dot.left + size;
        dot.bottom = dot.top + size;
        HBRUSH brush = CreateSolidBrush(RGB(level, level, Mix(level, 255, 0.5)));
        FillRect(dc, &dot, brush);
        DeleteObject(brush);
    }
}

// One ribbon: vertical strokes whose top follows two slow waves and whose colour breathes.
static void DrawRibbon(HDC dc, int width, int height, double seconds, int index)
{
    static const COLORREF colours[RibbonCount] = {RGB(60, 220, 140), RGB(90, 170, 240), RGB(190, 110, 230)};
    double base = height * (0.22 + 0.11 * index);
    double amplitude = height * 0.07;
    double length = height * (0.16 - 0.03 * index);
    int step = width >= 400 ? RibbonStep : 2;
    for (int x = 0; x < width; x += step) {
        double u = (double)x / width;
        double wave = sin(u * 6.0 + seconds * (0.35 + 0.1 * index) + index) +
                      0.5 * sin(u * 13.0 - seconds * (0.6 - 0.1 * index));
        double brightness = 0.45 + 0.4 * (1 + sin(u * 9.0 + seconds * 0.8 + index * 2.0)) / 2;
        int top = (int)(base + amplitude * wave);
        int bottom = top + (int)(length * (0.7 + 0.3 * sin(u * 4.0 + seconds * 0.5)));
        // Bright at the upper edge, fading into the sky below, as the light hangs from above.
        COLORREF c = colours[index];
        enum { Segments = 6 };
        for (int k = 0; k < Segments; k++) {
            double fade = brightness * (1.0 - (double)k / Segments);
            RECT stroke = {x, top + (bottom - top) * k / Segments, x + step, top + (bottom - top) * (k + 1) / Segments};
            HBRUSH brush = CreateSolidBrush(RGB(Mix(8, GetRValue(c), fade), Mix(20, GetGValue(c), fade),
                                                Mix(42, GetBValue(c), fade)));
            FillRect(dc, &stroke, brush);
            DeleteObject(brush);
        }
    }
}

static void DrawTitle(HDC dc, int width, int height, double seconds)
{
    HFONT font = CreateFontA(-(height / 9 > 8 ? height / 9 : 8), 0, 0, 0, FW_LIGHT, FALSE, FALSE, FALSE,
                             ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                             VARIABLE_PITCH | FF_SWISS, "Arial");
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SIZE extent = {0, 0};
    int length = (int)strlen(sceneTitle);
    GetTextExtentPoint32A(dc, sceneTitle, length, &extent);
    int x = (width - extent.cx) / 2 + (int)(width * 0.12 * sin(seconds * 0.13));
    int y = (int)(height * 0.70) + (int)(height * 0.06 * sin(seconds * 0.21));
    SetTextColor(dc, RGB(0, 0, 20));
    TextOutA(dc, x + 2, y + 2, sceneTitle, length);
    double glow = 0.8 + 0.2 * sin(seconds * 0.7);
    SetTextColor(dc, RGB(Mix(0, 235, glow), Mix(0, 245, glow), 255));
    TextOutA(dc, x, y, sceneTitle, length);
    SelectObject(dc, old);
    DeleteObject(font);
}

void DrawScene(HDC dc, int width, int height, double seconds)
{
    if (width <= 0 || height <= 0) return;
    DrawSky(dc, width, height);
    DrawStars(dc, width, height, seconds);
    for (int i = 0; i < RibbonCount; i++) DrawRibbon(dc, width, height, seconds, i);
    DrawTitle(dc, width, height, seconds);
}
