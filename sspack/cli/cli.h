// The command line of sspack: parses the arguments, runs the command, maps failures to exit codes
// (0 done, 1 bad input or damaged installer, 2 usage error).
#pragma once
#include <ostream>
#include <string>
#include <vector>

extern const char SspackVersion[];

// errTerminal: err is a terminal, where build may redraw its progress line in place.
// programPath is the running program's file: the shipped stubs and uninstaller are found from it
// ("" finds none, so --stub and the uninstaller must be given).
int RunSspack(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, bool errTerminal = false,
              const std::string &programPath = "");
