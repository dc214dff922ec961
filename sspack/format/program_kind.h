// What a file is, told from its first bytes: the installer makes entry 0 the screen saver and
// starts it, so it must be a Windows GUI program, and a message says what it is otherwise.
#pragma once
#include <string>

struct ProgramKind {
    bool windowsProgram = false;  // a PE image that is no DLL
    bool gui = false;             // and one with the Windows GUI subsystem
    std::string what;             // "a Windows GUI program", "a console program", "a PNG image", "a text file" ...
};

// Throws ToolError naming the file when it cannot be read.
ProgramKind KindOfFile(const std::string &path);
