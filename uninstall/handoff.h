// The running uninstaller cannot delete its own file. It starts a copy of itself from the temp
// folder and hands it, in one environment variable, a waitable handle of the first process and the
// path to delete once that process has ended. The copy deletes only an UNINSTAL.EXE in an installed
// data folder and then the folders above it that are empty.
#pragma once
#include <stddef.h>
#include <stdint.h>

extern const char HandoffVariable[];
enum { HandoffSize = 300 };

int FormatHandoff(char *text, size_t size, uint64_t processHandle, const char *uninstallerPath);
// 1 when text is a handoff naming an uninstaller in a data folder; fills the handle and the path.
int ParseHandoff(const char *text, uint64_t *processHandle, char *uninstallerPath, size_t size);
