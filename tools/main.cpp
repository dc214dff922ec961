// sspack: builds screen-saver installers and lists, extracts and verifies them.
#include <iostream>

#include "tools/cli.h"

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunSspack(args, std::cout, std::cerr);
}
