// The end-to-end robot: runs beside a program under test in the same Wine session, plays the
// user from a small script (wait for windows, record them, press buttons, send keys, take
// screenshots) and writes a transcript free of handles and process ids, so that it can be
// compared whole with an expected file.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/robot/robot.h"

namespace robot {

// ---- state of one run -------------------------------------------------------------------------

static FILE *Transcript = nullptr;
static std::wstring ShotFolder;
static PROCESS_INFORMATION StartedProgram = {};
static bool ProgramStarted = false;
static DWORD ProgramExitCode = STILL_ACTIVE;
static HWND CurrentWindow = nullptr;  // the window the last successful wait found
static std::vector<HWND> ActedOn;     // windows pressed, keyed or closed: never found again
static bool Skipping = false;         // an optional wait found nothing: window steps skip
static int LineNumber = 0;
static std::vector<std::string> RegistryKeys;  // recorded when the robot ends, however it ends

static void RecordRegistry();

std::string Utf8(const std::wstring &w)
{
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}

std::wstring Wide(const std::string &s)
{
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
    return w;
}

void Say(const std::string &line)
{
    if (Transcript) {
        fputs(line.c_str(), Transcript);
        fputc('\n', Transcript);
        fflush(Transcript);
    }
}

// A quoted, escaped rendering: control characters become \r \n \t or \xNN, so one window text is
// always one transcript line.
std::string Quote(const std::wstring &text)
{
    std::string out = "\"";
    for (wchar_t c : text) {
        switch (c) {
        case L'\r': out += "\\r"; break;
        case L'\n': out += "\\n"; break;
        case L'\t': out += "\\t"; break;
        case L'\\': out += "\\\\"; break;
        case L'"': out += "\\\""; break;
        default:
            if (c < 32) {
                char buf[8];
                snprintf(buf, sizeof buf, "\\x%02X", (unsigned)c);
                out += buf;
            } else {
                out += Utf8(std::wstring(1, c));
            }
        }
    }
    return out + "\"";
}

std::string Hex(DWORD v)
{
    char buf[16];
    snprintf(buf, sizeof buf, "0x%08lX", (unsigned long)v);
    return buf;
}

// ---- failing ------------------------------------------------------------------------------------

static BOOL CALLBACK ListOne(HWND h, LPARAM)
{
    if (!IsWindowVisible(h)) return TRUE;
    Say("  window " + Describe(h) + " visible");
    return TRUE;
}

[[noreturn]] void Fail(const std::string &message)
{
    std::string text = "FAILED line " + std::to_string(LineNumber) + ": " + message;
    Say(text);
    Say("visible windows now:");
    EnumWindows(ListOne, 0);
    fprintf(stderr, "robot: %s\n", text.c_str());
    // What was on screen when it went wrong, for the person reading the failure.
    if (!ShotFolder.empty() && CaptureScreen(ShotFolder + L"\\failure.bmp").empty()) Say("shot failure");
    if (ProgramStarted && WaitForSingleObject(StartedProgram.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(StartedProgram.hProcess, 99);
        WaitForSingleObject(StartedProgram.hProcess, 5000);
        Say("program terminated");
    }
    RecordRegistry();
    if (Transcript) fclose(Transcript);
    ExitProcess(1);
}

// ---- windows ------------------------------------------------------------------------------------

std::wstring ClassOf(HWND h)
{
    wchar_t buf[256] = {0};
    GetClassNameW(h, buf, 256);
    return buf;
}

// Another process's window text: WM_GETTEXT is marshalled by the system; a program busy
// without pumping messages gets two seconds before the stored caption is used instead.
std::wstring TextOf(HWND h)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
        wchar_t buf[1024] = {0};
        GetWindowTextW(h, buf, 1024);
        return buf;
    }
    std::vector<wchar_t> buf(length + 2, 0);
    DWORD_PTR got = 0;
    SendMessageTimeoutW(h, WM_GETTEXT, (WPARAM)(length + 1), (LPARAM)buf.data(), SMTO_ABORTIFHUNG, 2000, &got);
    return std::wstring(buf.data());
}

// A top-level window's caption as the system keeps it: no message is sent, so a busy program
// cannot hold the robot up while it looks for windows.
std::wstring CaptionOf(HWND h)
{
    wchar_t buf[1024] = {0};
    GetWindowTextW(h, buf, 1024);
    return buf;
}

std::string Describe(HWND h)
{
    if (!h) return "none";
    return "class=" + Utf8(ClassOf(h)) + " caption=" + Quote(CaptionOf(h));
}

static bool Matches(const Token &t, const std::wstring &have)
{
    std::wstring want = Wide(t.value);
    if (t.op == "=") return have == want;
    if (t.op == "^=") return have.compare(0, want.size(), want) == 0;
    if (t.op == "~=") return have.find(want) != std::wstring::npos;
    return false;
}

static bool WindowMatches(HWND h, const Step &s)
{
    if (GetWindowThreadProcessId(h, nullptr) == GetCurrentThreadId()) return false;
    std::string visible = s.Get("visible", "yes");
    bool isVisible = IsWindowVisible(h) != FALSE;
    if (visible == "yes" && !isVisible) return false;
    if (visible == "no" && isVisible) return false;
    for (const Token &t : s.tokens) {
        if (t.key == "class") {
            // Class names compare without regard to case, as the system compares them.
            bool same = t.op == "=" ? _wcsicmp(ClassOf(h).c_str(), Wide(t.value).c_str()) == 0 : Matches(t, ClassOf(h));
            if (!same) return false;
        } else if (t.key == "caption") {
            if (!Matches(t, CaptionOf(h))) return false;
        } else if (t.key == "text") {
            // Some control of the window shows this text (a message box's message, say).
            bool any = false;
            for (HWND c = GetWindow(h, GW_CHILD); c && !any; c = GetWindow(c, GW_HWNDNEXT)) any = Matches(t, TextOf(c));
            if (!any) return false;
        } else if (t.key == "owner-class") {
            HWND o = GetWindow(h, GW_OWNER);
            if (!o || _wcsicmp(ClassOf(o).c_str(), Wide(t.value).c_str()) != 0) return false;
        }
    }
    return true;
}

struct Search {
    const Step *step;
    bool includeActedOn;
    HWND found;
};

static BOOL CALLBACK SearchOne(HWND h, LPARAM p)
{
    Search *s = (Search *)p;
    if (!s->includeActedOn)
        for (HWND used : ActedOn)
            if (used == h) return TRUE;
    if (WindowMatches(h, *s->step)) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

static HWND FindMatching(const Step &s, bool includeActedOn)
{
    Search search = {&s, includeActedOn, nullptr};
    EnumWindows(SearchOne, (LPARAM)&search);
    return search.found;
}

static bool ProgramEnded()
{
    if (!ProgramStarted) return false;
    if (ProgramExitCode != STILL_ACTIVE) return true;
    if (WaitForSingleObject(StartedProgram.hProcess, 0) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(StartedProgram.hProcess, &ProgramExitCode);
    return true;
}

// Lets the window's thread run through its queue twice, so a pending paint has been handled.
static void Settle(HWND h)
{
    DWORD_PTR r;
    SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &r);
    SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &r);
    GdiFlush();
    Sleep(60);
}

// ---- the registry ------------------------------------------------------------------------------

// `registry "HKLM\\..."`: when the robot ends (the script done or a step failed), the key's
// subkeys and each one's value names as a 32-bit program sees them, one line per subkey:
//   registry "KEY" subkey "NAME" values "A" "B"
// closed by `registry "KEY" read` (or `registry "KEY" missing` alone).
// So a caller can read what a run left in the registry while the prefix's server keeps running.
static void StepRegistry(const Step &s)
{
    if (s.words.size() < 2) Fail("registry needs a key");
    RegistryKeys.push_back(s.words[1]);
}

// `forget "HKLM\\KEY"`: deletes a key without subkeys of the 32-bit view now, if it is there.
static void StepForget(const Step &s)
{
    if (s.words.size() < 2) Fail("forget needs a key");
    std::wstring path = Wide(s.words[1]);
    size_t first = path.find(L'\\'), last = path.rfind(L'\\');
    if (first == std::wstring::npos || last == first) Fail("forget: no key below a hive");
    HKEY root = path.substr(0, first) == L"HKCU" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    HKEY parent;
    LONG done = RegOpenKeyExW(root, path.substr(first + 1, last - first - 1).c_str(), 0,
                              KEY_READ | KEY_WRITE | KEY_WOW64_32KEY, &parent);
    if (done == ERROR_SUCCESS) {
        done = RegDeleteKeyW(parent, path.substr(last + 1).c_str());
        RegCloseKey(parent);
    }
    if (done != ERROR_SUCCESS && done != ERROR_FILE_NOT_FOUND) Fail("forget: error " + std::to_string(done));
    Say("forget " + Quote(path));
}

static void RecordRegistry()
{
    for (const std::string &name : RegistryKeys) {
        std::wstring path = Wide(name);
        HKEY root = HKEY_LOCAL_MACHINE;
        size_t slash = path.find(L'\\');
        std::wstring hive = path.substr(0, slash);
        if (hive == L"HKCU") root = HKEY_CURRENT_USER;
        std::wstring rest = slash == std::wstring::npos ? L"" : path.substr(slash + 1);
        HKEY key;
        if (RegOpenKeyExW(root, rest.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) {
            Say("registry " + Quote(path) + " missing");
            continue;
        }
        for (DWORD i = 0;; ++i) {
            wchar_t sub[256];
            DWORD length = 256;
            if (RegEnumKeyExW(key, i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            std::string line = "registry " + Quote(path) + " subkey " + Quote(sub) + " values";
            HKEY child;
            if (RegOpenKeyExW(key, sub, 0, KEY_READ | KEY_WOW64_32KEY, &child) == ERROR_SUCCESS) {
                for (DWORD v = 0;; ++v) {
                    wchar_t value[16384];
                    DWORD valueLength = 16384;
                    if (RegEnumValueW(child, v, value, &valueLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                        break;
                    line += " " + Quote(value);
                }
                RegCloseKey(child);
            }
            Say(line);
        }
        RegCloseKey(key);
        Say("registry " + Quote(path) + " read");
    }
    RegistryKeys.clear();
}

// ---- forbidden windows ---------------------------------------------------------------------------

// Windows that must not come while the script goes on (a message the quiet mode never shows,
// say): every waiting loop of the robot looks for them.
static std::vector<Step> ForbiddenWindows;

static void CheckForbidden()
{
    for (const Step &f : ForbiddenWindows) {
        HWND h = FindMatching(f, true);
        if (h) {
            LineNumber = f.number;
            Fail("a forbidden window came: " + Describe(h));
        }
    }
}

// Sleeps in short slices, looking for forbidden windows meanwhile.
static void Pause(DWORD ms)
{
    DWORD until = GetTickCount() + ms;
    do {
        CheckForbidden();
        DWORD left = until - GetTickCount();
        Sleep((int)left > 0 ? (left < 3 ? left : 3) : 0);
    } while ((int)(until - GetTickCount()) > 0);
}

// ---- steps --------------------------------------------------------------------------------------

static double Timeout(const Step &s, double fallback)
{
    std::string t = s.Get("timeout", "");
    return t.empty() ? fallback : atof(t.c_str());
}

static std::string Criteria(const Step &s)
{
    std::string out;
    for (const Token &t : s.tokens)
        if (t.key == "class" || t.key == "caption" || t.key == "text" || t.key == "owner-class")
            out += (out.empty() ? "" : " ") + t.key + t.op + "\"" + t.value + "\"";
    return out;
}

static void StepStart(const Step &s)
{
    // start PROGRAM [-- ARGS]: the quoted PROGRAM and ARGS as written (quotes included).
    // start -- LINE: the whole command line; the system finds the program in it, blank by blank
    // where it is unquoted, as the shell runs an UninstallString (Wine then quotes the name it found).
    // start PROGRAM as-is -- LINE: PROGRAM with LINE as its whole command line, as Windows hands an
    // unquoted line to the program it found in it.
    size_t dashes = s.line.find(" -- ");
    if (s.words.size() < 2 && dashes == std::string::npos) Fail("start needs a program path");
    bool named = s.words.size() >= 2;
    bool wholeLine = !named || s.Has("as-is");
    std::wstring path = named ? Wide(s.words[1]) : L"";
    std::wstring commandLine = wholeLine ? L"" : L"\"" + path + L"\"";
    std::string args = s.Get("args", "");
    if (dashes != std::string::npos) args = s.line.substr(dashes + 4);
    if (!args.empty()) commandLine += (wholeLine ? L"" : L" ") + Wide(args);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    std::vector<wchar_t> buf(commandLine.begin(), commandLine.end());
    buf.push_back(0);
    if (ProgramStarted) {
        CloseHandle(StartedProgram.hProcess);
        CloseHandle(StartedProgram.hThread);
        ProgramStarted = false;
    }
    if (!CreateProcessW(named ? path.c_str() : nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &StartedProgram))
        Fail("cannot start " + Utf8(named ? path : commandLine) + " (error " + std::to_string(GetLastError()) + ")");
    ProgramStarted = true;
    ProgramExitCode = STILL_ACTIVE;
    size_t slash = path.find_last_of(L"\\/");
    std::string name = Utf8(slash == std::wstring::npos ? path : path.substr(slash + 1));
    if (wholeLine)
        Say("start " + (named ? name + " " : std::string()) + "-- " + Utf8(commandLine));
    else
        Say("start " + name);
}

static void StepWait(const Step &s)
{
    double timeout = Timeout(s, 10);
    bool optional = s.Has("optional");
    bool orExit = s.Has("orexit");
    DWORD deadline = GetTickCount() + (DWORD)(timeout * 1000);
    for (;;) {
        HWND h = FindMatching(s, false);
        if (h) {
            CurrentWindow = h;
            Skipping = false;
            if (!s.Has("quiet")) Say("found " + Describe(h) + (IsWindowVisible(h) ? "" : " hidden"));
            return;
        }
        if (orExit && ProgramEnded()) {
            Say("program ended before " + Criteria(s));
            CurrentWindow = nullptr;
            Skipping = true;
            return;
        }
        if ((int)(GetTickCount() - deadline) >= 0) break;
        Pause(3);  // short: a quiet installation's hidden dialog lives only while it installs
    }
    if (optional || orExit) {
        Say("not found " + Criteria(s));
        CurrentWindow = nullptr;
        Skipping = true;
        return;
    }
    char secs[32];
    snprintf(secs, sizeof secs, "%g", timeout);
    std::string ended;
    if (ProgramEnded()) ended = " (the program had ended, exit code " + std::to_string((long)ProgramExitCode) + ")";
    Fail("timeout after " + std::string(secs) + " s waiting for window " + Criteria(s) + ended);
}

static bool Skipped(const Step &s)
{
    if (!Skipping) return false;
    Say("skipped " + s.line);
    return true;
}

static void StepGone(const Step &s)
{
    double timeout = Timeout(s, 10);
    DWORD deadline = GetTickCount() + (DWORD)(timeout * 1000);
    bool byCriteria = !Criteria(s).empty();
    if (!byCriteria && Skipped(s)) return;
    if (!byCriteria && !CurrentWindow) Fail("gone: no current window");
    Step any = s;
    if (byCriteria && !s.Has("visible")) any.tokens.push_back(Token{"visible", "=", "any", false});
    for (;;) {
        // A pressed window counts here: it is what is expected to go.
        bool present = byCriteria ? FindMatching(any, true) != nullptr : IsWindow(CurrentWindow) != FALSE;
        if (!present) {
            Say(byCriteria ? "gone " + Criteria(s) : "gone");
            return;
        }
        if ((int)(GetTickCount() - deadline) >= 0) break;
        Pause(10);
    }
    Fail("timeout: window still there: " + (byCriteria ? Criteria(s) : Describe(CurrentWindow)));
}

static void StepEnd(const Step &s)
{
    if (!ProgramStarted) Fail("end: no program was started");
    double timeout = Timeout(s, 30);
    DWORD deadline = GetTickCount() + (DWORD)(timeout * 1000);
    while (WaitForSingleObject(StartedProgram.hProcess, 0) != WAIT_OBJECT_0 && (int)(GetTickCount() - deadline) < 0)
        Pause(10);
    if (WaitForSingleObject(StartedProgram.hProcess, 0) != WAIT_OBJECT_0) {
        char secs[32];
        snprintf(secs, sizeof secs, "%g", timeout);
        Fail("timeout after " + std::string(secs) + " s waiting for the program to end");
    }
    GetExitCodeProcess(StartedProgram.hProcess, &ProgramExitCode);
    Say("exit code " + std::to_string((long)ProgramExitCode));
}

static HWND FindButton(HWND window, const Step &s, std::string *label)
{
    std::string id = s.Get("id", "");
    HWND child = nullptr;
    if (!id.empty()) {
        child = GetDlgItem(window, atoi(id.c_str()));
        *label = "id=" + id;
        return child;
    }
    if (s.words.size() < 2) Fail("press needs a button text or id=N");
    std::wstring want = Wide(s.words[1]);
    *label = Quote(want);
    // A visible button first, as a user would find it; a hidden one of that text only after.
    for (int pass = 0; pass < 2; ++pass)
        for (child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (_wcsicmp(ClassOf(child).c_str(), L"Button") != 0) continue;
            if (pass == 0 && !IsWindowVisible(child)) continue;
            std::wstring text = TextOf(child);
            std::wstring plain;
            for (wchar_t c : text)
                if (c != L'&') plain += c;
            if (plain == want || text == want) return child;
        }
    return nullptr;
}

static void Acted(HWND h)
{
    ActedOn.push_back(h);
}

static void StepPress(const Step &s)
{
    if (Skipped(s)) return;
    if (!CurrentWindow || !IsWindow(CurrentWindow)) Fail("press: the window is gone");
    std::string label;
    HWND button = FindButton(CurrentWindow, s, &label);
    if (!button) Fail("press: no button " + label + " in " + Describe(CurrentWindow));
    // Posted, never sent: the click may open a nested modal box, and a sent click would wait for it.
    if (s.Get("via", "click") == "command")
        PostMessageW(CurrentWindow, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), (LPARAM)button);
    else
        PostMessageW(button, BM_CLICK, 0, 0);
    Acted(CurrentWindow);
    Say("press " + label);
}

static void StepKey(const Step &s)
{
    if (Skipped(s)) return;
    if (!CurrentWindow || !IsWindow(CurrentWindow)) Fail("key: the window is gone");
    if (s.words.size() < 2) Fail("key needs a name: ESC, ENTER, TAB, SPACE");
    std::string name = s.words[1];
    UINT vk = name == "ESC"     ? VK_ESCAPE
              : name == "ENTER" ? VK_RETURN
              : name == "TAB"   ? VK_TAB
              : name == "SPACE" ? VK_SPACE
                                : 0;
    if (!vk) Fail("unknown key " + name);
    // The focused control gets the key, as from the keyboard; the dialog's own message loop
    // turns Escape and Enter into its commands.
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = CurrentWindow;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(CurrentWindow, nullptr), &info) && info.hwndFocus)
        target = info.hwndFocus;
    UINT scan = MapVirtualKeyW(vk, 0);
    PostMessageW(target, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, vk, 1 | (scan << 16) | (3u << 30));
    Acted(CurrentWindow);
    Say("key " + name);
}

static void StepClose(const Step &s)
{
    if (Skipped(s)) return;
    if (!CurrentWindow || !IsWindow(CurrentWindow)) Fail("close: the window is gone");
    bool sys = s.words.size() > 1 && s.words[1] == "sys";
    if (sys)
        PostMessageW(CurrentWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        PostMessageW(CurrentWindow, WM_CLOSE, 0, 0);
    Acted(CurrentWindow);
    Say(sys ? "close sys" : "close");
}

// Moves the current window off the screen and back: a picture can then show what lies beneath a
// modal box while that box holds its program still. Moved, not hidden: a modal loop shows its
// dialog again when it finds it hidden.
static RECT HiddenFrom;

static void StepShow(const Step &s)
{
    if (Skipped(s)) return;
    if (!CurrentWindow || !IsWindow(CurrentWindow)) Fail(s.words[0] + ": the window is gone");
    bool show = s.words[0] == "show";
    const UINT flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
    if (show) {
        SetWindowPos(CurrentWindow, nullptr, HiddenFrom.left, HiddenFrom.top, 0, 0, flags);
    } else {
        GetWindowRect(CurrentWindow, &HiddenFrom);
        SetWindowPos(CurrentWindow, nullptr, GetSystemMetrics(SM_CXSCREEN) + 64, HiddenFrom.top, 0, 0, flags);
        // What lay beneath is painted again by its own program before the next picture.
        RedrawWindow(GetDesktopWindow(), &HiddenFrom, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        HWND owner = GetWindow(CurrentWindow, GW_OWNER);
        Settle(owner ? owner : CurrentWindow);
    }
    Say(show ? "show" : "hide");
}

static void StepShot(const Step &s)
{
    if (Skipped(s)) return;
    if (s.words.size() < 2) Fail("shot needs a name");
    if (CurrentWindow && IsWindow(CurrentWindow)) Settle(CurrentWindow);
    std::wstring path = ShotFolder + L"\\" + Wide(s.words[1]) + L".bmp";
    bool still = s.words.size() > 2 && s.words[2] == "still";
    std::string error = CaptureScreen(path, still);
    if (!error.empty()) Fail("shot " + s.words[1] + ": " + error);
    Say("shot " + s.words[1]);
}

// The same moment seen from outside: the rig watches the shot folder for NAME.request and
// answers with NAME.png taken by ImageMagick from the X display.
static void StepXShot(const Step &s)
{
    if (Skipped(s)) return;
    if (s.words.size() < 2) Fail("xshot needs a name");
    if (CurrentWindow && IsWindow(CurrentWindow)) Settle(CurrentWindow);
    std::wstring base = ShotFolder + L"\\" + Wide(s.words[1]);
    FILE *request = _wfopen((base + L".request").c_str(), L"wb");
    if (!request) Fail("xshot: cannot write the request");
    fclose(request);
    std::wstring png = base + L".png";
    DWORD deadline = GetTickCount() + 20000;
    while (GetFileAttributesW(png.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if ((int)(GetTickCount() - deadline) >= 0) Fail("xshot " + s.words[1] + ": the rig took no screenshot");
        Sleep(20);
    }
    Say("xshot " + s.words[1]);
}

static void StepScreen(const Step &)
{
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    Say("screen " + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" +
        std::to_string(GetSystemMetrics(SM_CYSCREEN)) + " workarea " + std::to_string(work.left) + " " +
        std::to_string(work.top) + " " + std::to_string(work.right) + " " + std::to_string(work.bottom));
}

static void StepRecord(const Step &s)
{
    if (Skipped(s)) return;
    if (!CurrentWindow || !IsWindow(CurrentWindow)) Fail("record: the window is gone");
    if (IsWindowVisible(CurrentWindow)) Settle(CurrentWindow);
    RecordWindow(CurrentWindow, s);
}

static void StepSay(const Step &s)
{
    Say(s.line.size() > 4 ? s.line.substr(4) : "");
}

static void StepSleep(const Step &s)
{
    if (s.words.size() < 2) Fail("sleep needs milliseconds");
    Pause((DWORD)atoi(s.words[1].c_str()));
}

// Plays the agreeable user until the program ends: every new visible window is captured
// (shots NAME-01, NAME-02, ...) and recorded, then its first visible accepting button is
// pressed. Windows without one (the backdrop, a progress dialog) are only recorded.
struct Answering {
    std::vector<HWND> seen;
    HWND next;
};

static BOOL CALLBACK FindNew(HWND h, LPARAM p)
{
    Answering *a = (Answering *)p;
    if (!IsWindowVisible(h) || GetWindowThreadProcessId(h, nullptr) == GetCurrentThreadId()) return TRUE;
    for (HWND s : a->seen)
        if (s == h) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid == GetCurrentProcessId()) return TRUE;
    // Wine's own desktop and tray windows belong to explorer.exe, not to what we started.
    std::wstring cls = ClassOf(h);
    if (cls == L"#32769" || cls == L"Shell_TrayWnd" || cls == L"WineSystemTray") return TRUE;
    a->next = h;
    return FALSE;
}

static HWND AcceptingButton(HWND window)
{
    static const wchar_t *const AcceptingLabels[] = {L"OK", L"Accept", L"Ja", L"Yes", L"Weiter"};
    for (const wchar_t *want : AcceptingLabels)
        for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            if (_wcsicmp(ClassOf(c).c_str(), L"Button") != 0 || !IsWindowVisible(c)) continue;
            std::wstring plain;
            for (wchar_t ch : TextOf(c))
                if (ch != L'&') plain += ch;
            if (plain == want) return c;
        }
    return nullptr;
}

static void StepAnswer(const Step &s)
{
    if (!ProgramStarted) Fail("answer: no program was started");
    double timeout = Timeout(s, 120);
    std::string name = s.Get("shots", "answer");
    DWORD deadline = GetTickCount() + (DWORD)(timeout * 1000);
    Answering a;
    int count = 0;
    while (!ProgramEnded()) {
        CheckForbidden();  // before a forbidden window could be answered like any other
        if ((int)(GetTickCount() - deadline) >= 0) Fail("answer: the program did not end in time");
        a.next = nullptr;
        EnumWindows(FindNew, (LPARAM)&a);
        if (!a.next) {
            Pause(10);
            continue;
        }
        HWND h = a.next;
        a.seen.push_back(h);
        Settle(h);
        std::string described = Describe(h);
        if (!IsWindow(h)) continue;  // closed by itself before it could be looked at
        Say("found " + described);
        char shot[64];
        snprintf(shot, sizeof shot, "%s-%02d", name.c_str(), ++count);
        if (name != "none" && CaptureScreen(ShotFolder + L"\\" + Wide(shot) + L".bmp").empty())
            Say(std::string("shot ") + shot);
        Step plain = s;
        plain.tokens.clear();
        RecordWindow(h, plain);
        HWND button = AcceptingButton(h);
        if (button) {
            // The label first: once the click is posted, the box may close before it is read.
            std::string label = Quote(TextOf(button));
            PostMessageW(button, BM_CLICK, 0, 0);
            Acted(h);
            Say("press " + label);
        }
    }
    Say("program ended");
}

static void StepForbid(const Step &s)
{
    if (Criteria(s).empty()) Fail("forbid needs class=, caption= or text=");
    ForbiddenWindows.push_back(s);
    Say("forbid " + Criteria(s));
}

static void RunStep(const Step &s)
{
    static const struct {
        const char *verb;
        void (*run)(const Step &);
    } Steps[] = {
        {"start", StepStart}, {"wait", StepWait},     {"gone", StepGone},     {"end", StepEnd},
        {"press", StepPress}, {"key", StepKey},       {"close", StepClose},   {"shot", StepShot},
        {"xshot", StepXShot}, {"screen", StepScreen}, {"record", StepRecord}, {"say", StepSay},
        {"sleep", StepSleep}, {"answer", StepAnswer}, {"forbid", StepForbid}, {"hide", StepShow},
        {"show", StepShow},   {"registry", StepRegistry},
        {"forget", StepForget},
    };
    std::string verb = s.words.empty() ? std::string() : s.words[0];
    for (const auto &step : Steps) {
        if (verb == step.verb) {
            step.run(s);
            return;
        }
    }
    Fail("unknown step '" + verb + "'");
}

static void SetLine(int n)
{
    LineNumber = n;
}

}  // namespace robot

// robot.exe SCRIPT TRANSCRIPT SHOTDIR: runs the script's steps in order; exit 0 when all ran,
// 1 when a step failed (the transcript's last lines say which and what was on screen), 2 on
// wrong use.
int wmain(int argc, wchar_t **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: robot SCRIPT TRANSCRIPT SHOTDIR\n");
        return 2;
    }
    robot::Transcript = _wfopen(argv[2], L"wb");
    if (!robot::Transcript) {
        fprintf(stderr, "robot: cannot write the transcript\n");
        return 2;
    }
    robot::ShotFolder = argv[3];
    std::vector<robot::Step> steps;
    std::string error;
    if (!robot::ParseScript(argv[1], &steps, &error)) {
        robot::Say("FAILED script: " + error);
        fprintf(stderr, "robot: script: %s\n", error.c_str());
        return 2;
    }
    // Beside the transcript, when each step ended: for finding where a slow scenario waits.
    FILE *times = _wfopen((std::wstring(argv[2]) + L".times").c_str(), L"wb");
    DWORD began = GetTickCount();
    for (const robot::Step &s : steps) {
        robot::SetLine(s.number);
        robot::RunStep(s);
        if (times) {
            fprintf(times, "%7.3f s  %s\n", (GetTickCount() - began) / 1000.0, s.line.c_str());
            fflush(times);
        }
    }
    if (times) fclose(times);
    robot::RecordRegistry();
    fclose(robot::Transcript);
    return 0;
}
