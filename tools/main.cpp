// sspack: builds screen-saver installers and lists, extracts and verifies them.
#include <iostream>

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

#include "tools/cli.h"

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunSspack(args, std::cout, std::cerr, isatty(2) != 0);
}
