// The command line's tail as WinMain receives it from the C runtime: the programs that enter
// through core/startup_win.cpp compute it themselves and must read it as every other program does.
#pragma once

// The tail after the program's name: a quoted name ends at its closing quote, a bare one at the
// first byte up to 0x20; every byte from 0x01 to 0x20 that follows is skipped.
const char *CommandTail(const char *line);
