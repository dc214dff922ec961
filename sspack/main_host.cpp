// sspack: builds screen-saver installers and lists, extracts and verifies them.
#include <iostream>

#include <unistd.h>

#include "sspack/cli/cli.h"
#include "sspack/files.h"

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunSspack(args, std::cout, std::cerr, isatty(2) != 0, ProgramPath());
}
