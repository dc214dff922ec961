// The robot's pieces: the script reader, the window recorder and the screen capture.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace robot {

// One word of a script line: `word`, `"quoted words"`, `key=value`, `key^="prefix"`,
// `key~="part"`.
struct Token {
    std::string key;    // empty for a plain word
    std::string op;     // "=", "^=" or "~=" for key tokens
    std::string value;  // the word itself for plain words
    bool quoted;
};

struct Step {
    int number;                      // line in the script, for failure messages
    std::string line;                // the line as written, trimmed
    std::vector<std::string> words;  // plain words in order; words[0] is the verb
    std::vector<Token> tokens;       // key tokens

    std::string Get(const std::string &key, const std::string &fallback) const
    {
        for (const Token &t : tokens)
            if (t.key == key) return t.value;
        return fallback;
    }
    bool Has(const std::string &word) const
    {
        for (size_t i = 1; i < words.size(); ++i)
            if (words[i] == word) return true;
        for (const Token &t : tokens)
            if (t.key == word) return true;
        return false;
    }
};

bool ParseScript(const wchar_t *path, std::vector<Step> *steps, std::string *error);

void RecordWindow(HWND window, const Step &options);
// Empty on success, else the reason; still: waits until the screen stops changing (a few seconds
// at most), for a picture of a program that paints and then waits.
std::string CaptureScreen(const std::wstring &bmpPath, bool still = false);
bool CaptureRect(const RECT &screenRect, std::vector<COLORREF> *pixels);

// Shared helpers (robot.cpp).
std::string Utf8(const std::wstring &w);
std::wstring Wide(const std::string &s);
std::string Quote(const std::wstring &text);
std::string Hex(DWORD v);
std::wstring ClassOf(HWND h);
std::wstring TextOf(HWND h);
std::wstring CaptionOf(HWND h);
std::string Describe(HWND h);
void Say(const std::string &line);
[[noreturn]] void Fail(const std::string &message);

}  // namespace robot
