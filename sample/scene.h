// The picture the screen saver shows: a night sky with twinkling stars, slow ribbons of polar light
// and the title drifting gently, so no pixel stays the same for long. Drawn with GDI into any size,
// the full screen or the small preview alike.
#pragma once
#include <windows.h>

void InitScene(const char *title);
// Draws the scene at the given time (seconds since start) into dc, which is width x height.
void DrawScene(HDC dc, int width, int height, double seconds);
