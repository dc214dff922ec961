// The uninstaller's arguments, read from its whole command line. Portable, for the host's tests.
#pragma once

// The arguments on the uninstaller's command line: what follows its own name. The unquoted
// UninstallString of an older installation is the whole command line, blanks of its folder names
// included, and the system ran ownPath (the path it reports for the process) from it: when the
// line starts with that path, the path is the name, so a title's word such as "-s" is none of the
// arguments. Any other line is read as the C runtime reads it.
const char *UninstallerArguments(const char *commandLine, const char *ownPath);

// 1 when the uninstaller's arguments ask for the silent run ("/s", also "-s", any case).
int WantsSilentRun(const char *arguments);
