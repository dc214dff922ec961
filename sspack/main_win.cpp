// sspack.exe: the same tool on Windows. The command line arrives as UTF-16 and becomes the UTF-8
// arguments the tool takes everywhere; the reports are UTF-8 bytes with bare LF, as on the host.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>

#include "core/system_win.h"
#include "sspack/cli/cli.h"
#include "sspack/files.h"

namespace {

std::string Utf8(const wchar_t *wide)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string text((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], n, nullptr, nullptr);
    text.resize((size_t)n - 1);
    return text;
}

}  // namespace

int wmain(int argc, wchar_t **argv)
{
    RestrictDllSearch();
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++) args.push_back(Utf8(argv[i]));
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // A console shows the UTF-8 reports only in its UTF-8 code page; the user's is given back.
    UINT consolePage = GetConsoleOutputCP();
    if (consolePage) SetConsoleOutputCP(CP_UTF8);
    int code = RunSspack(args, std::cout, std::cerr, _isatty(_fileno(stderr)) != 0, ProgramPath());
    std::cout.flush();
    std::cerr.flush();
    if (consolePage) SetConsoleOutputCP(consolePage);
    return code;
}
