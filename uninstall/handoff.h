// The running uninstaller cannot delete its own file. It writes a copy of itself into a private
// folder of the temp folder and starts it with an argument tail that names a waitable handle of the
// first process and the path to delete once that process has ended. The copy recognises its task
// only from that tail together with its own location in such a folder, things that only the
// first process gives it: nothing inherited from the user's environment decides what it does. The
// copy deletes only an UNINSTAL.EXE in an installed data folder and then the folders above it
// that are empty.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum { HandoffSize = 300 };

// "<handle in hex> [/s ]<path>": /s when the first process ran silently, so the copy stays silent.
int FormatHandoff(char *text, size_t size, uint64_t processHandle, int silent, const char *uninstallerPath);
// 1 when text is a handoff naming an uninstaller in a data folder; fills the handle, the silent
// flag and the path.
int ParseHandoff(const char *text, uint64_t *processHandle, int *silent, char *uninstallerPath, size_t size);

// The private folder of one copy: tempFolder (with its closing backslash) + "UNINSTAL-" and the 16
// hex digits of random, closed by a backslash. 0 when it does not fit.
enum { PrivateRandomSize = 8 };
int ComposePrivateFolder(const char *tempFolder, const unsigned char random[PrivateRandomSize], char *folder,
                         size_t size);
// 1 when ownPath is UNINSTAL.EXE directly in such a private folder of tempFolder.
int IsPrivateCopyPath(const char *ownPath, const char *tempFolder);

// The private folder's security descriptor in the system's descriptor language: full control for
// the user (userSid, "S-1-..." text) and the administrators alone, nothing inherited from the temp
// folder, and a high integrity label that keeps the user's unelevated programs from writing into
// it. 0 when userSid is no SID text or the result does not fit.
int ComposePrivateFolderSecurity(const char *userSid, char *text, size_t size);
