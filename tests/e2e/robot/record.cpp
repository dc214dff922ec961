// Writes what a window shows into the transcript: caption, class, owner, rectangle, visibility,
// styles and controls; for a message box also its text, its buttons and its icon.
#include "tests/e2e/robot/robot.h"

namespace robot {

struct SystemIcon {
    LPCWSTR id;
    const char *name;
};

// The four message-box icons as LoadIconW knows them: IDI_ASTERISK, IDI_EXCLAMATION, IDI_HAND and
// IDI_QUESTION by number, since this program's headers spell those names for LoadIconA.
static const SystemIcon SystemIcons[] = {
    {MAKEINTRESOURCEW(32516), "information"},
    {MAKEINTRESOURCEW(32515), "exclamation"},
    {MAKEINTRESOURCEW(32513), "error"},
    {MAKEINTRESOURCEW(32514), "question"},
};

// Renders the icon at the given size over black and over white: where both agree the icon is
// opaque, and only those pixels are compared with the screen.
static void Render(HICON icon, int w, int h, COLORREF background, std::vector<COLORREF> *out)
{
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = {0, 0, w, h};
    FillRect(mem, &all, brush);
    DeleteObject(brush);
    DrawIconEx(mem, 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
    GdiFlush();
    const DWORD *p = (const DWORD *)bits;
    out->resize((size_t)w * h);
    for (size_t i = 0; i < out->size(); ++i) (*out)[i] = RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

// The box's icon is told apart by its pixels on screen: the icon handle belongs to the other
// process and cannot be compared with ours.
static std::string IconName(HWND control)
{
    if (!control || !IsWindowVisible(control)) return "none";
    DWORD_PTR handle = 0;
    SendMessageTimeoutW(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &handle);
    if (!handle) return "none";
    RECT r;
    GetWindowRect(control, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<COLORREF> screen;
    if (!CaptureRect(r, &screen)) return "unknown";
    std::string best = "unknown";
    double bestShare = 1.0;
    for (const SystemIcon &k : SystemIcons) {
        HICON icon = LoadIconW(nullptr, k.id);
        std::vector<COLORREF> onBlack, onWhite;
        Render(icon, w, h, RGB(0, 0, 0), &onBlack);
        Render(icon, w, h, RGB(255, 255, 255), &onWhite);
        size_t opaque = 0, differ = 0;
        for (size_t i = 0; i < screen.size(); ++i) {
            if (onBlack[i] != onWhite[i]) continue;
            ++opaque;
            if (onBlack[i] != screen[i]) ++differ;
        }
        if (opaque < 16) continue;
        double share = (double)differ / opaque;
        if (share < bestShare) {
            bestShare = share;
            best = k.name;
        }
    }
    return bestShare < 0.05 ? best : "unknown";
}

static std::string Rect(const RECT &r)
{
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
           std::to_string(r.bottom);
}

static std::string Shortened(const std::wstring &text)
{
    if (text.size() <= 400) return Quote(text);
    return Quote(text.substr(0, 200)) + " ... (" + std::to_string(text.size()) + " characters)";
}

void RecordWindow(HWND h, const Step &options)
{
    // Collected first and written only if the window outlived the reading: a window that closes
    // meanwhile would otherwise leave a record of empty values.
    std::vector<std::string> lines;
    std::string name = Describe(h);
    bool showRect = options.Get("rect", "yes") != "no";
    bool showStyle = options.Get("style", "yes") != "no";
    bool showControls = options.Get("controls", "yes") != "no";
    lines.push_back("window " + name);
    lines.push_back("  owner: " + Describe(GetWindow(h, GW_OWNER)));
    RECT r;
    GetWindowRect(h, &r);
    if (showRect) lines.push_back("  rect: " + Rect(r));
    lines.push_back(std::string("  visible: ") + (IsWindowVisible(h) ? "yes" : "no"));
    if (showStyle)
        lines.push_back("  style: " + Hex((DWORD)GetWindowLongW(h, GWL_STYLE)) +
                        " exstyle: " + Hex((DWORD)GetWindowLongW(h, GWL_EXSTYLE)));

    // A message box is a dialog whose controls are only statics and buttons, one static an icon.
    bool dialog = ClassOf(h) == L"#32770";
    bool onlyStaticsAndButtons = true;
    HWND iconControl = nullptr;
    std::vector<HWND> buttons, texts;
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        std::wstring cls = ClassOf(c);
        DWORD style = (DWORD)GetWindowLongW(c, GWL_STYLE);
        if (_wcsicmp(cls.c_str(), L"Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON)
                iconControl = c;
            else if (IsWindowVisible(c) && !TextOf(c).empty())
                texts.push_back(c);
        } else if (_wcsicmp(cls.c_str(), L"Button") == 0) {
            if (IsWindowVisible(c)) buttons.push_back(c);
        } else {
            onlyStaticsAndButtons = false;
        }
        if (showControls) {
            std::string line = "  control id=" + std::to_string((int)(short)GetDlgCtrlID(c)) + " class=" + Utf8(cls) +
                               " text=" + Shortened(TextOf(c));
            if (showStyle) line += " style=" + Hex(style);
            if (!IsWindowVisible(c)) line += " hidden";
            lines.push_back(line);
        }
    }
    if (dialog && onlyStaticsAndButtons && iconControl) {
        std::wstring message;
        for (HWND t : texts) message += (message.empty() ? L"" : L"\n") + TextOf(t);
        lines.push_back("  message: " + Quote(message));
        // Left to right, as the user reads them.
        for (size_t i = 0; i < buttons.size(); ++i)
            for (size_t j = i + 1; j < buttons.size(); ++j) {
                RECT a, b;
                GetWindowRect(buttons[i], &a);
                GetWindowRect(buttons[j], &b);
                if (b.left < a.left) std::swap(buttons[i], buttons[j]);
            }
        std::string line = "  buttons:";
        for (HWND b : buttons) line += " " + Quote(TextOf(b));
        lines.push_back(line);
        lines.push_back("  icon: " + IconName(iconControl));
    }
    if (!IsWindow(h)) {
        Say("window " + name + " gone before it could be recorded");
        return;
    }
    for (const std::string &line : lines) Say(line);
}

}  // namespace robot
