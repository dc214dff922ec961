// Which lines of INSTALL.LOG the uninstaller may delete. The installer writes files only directly
// into the uninstaller's own folder and one screen saver directly into the Windows directory, so
// anything else in the log comes from damage or tampering and is left alone.
#pragma once
#include <stddef.h>

enum PathVerdict {
    PathInOwnFolder,  // a file directly in the uninstaller's folder
    PathScreenSaver,  // <Windows>\<title>.scr, in its long or its short form
    PathOutside,      // a well-formed path anywhere else
    PathMalformed     // relative, UNC or device paths, "." or "..", wildcards, stream names and the like
};

// ownFolder and windowsDir are absolute folders, with or without their closing backslash.
// screenSaverFile is "<title>.scr"; screenSaverShort the short form of <Windows>\<title>.scr
// (empty when the system has none). Any other file in the Windows directory is another's.
PathVerdict ClassifyLogPath(const char *path, const char *ownFolder, const char *windowsDir,
                            const char *screenSaverFile, const char *screenSaverShort);

// 1 when path is an absolute local path whose every name Windows uses exactly as written.
int IsPlainAbsolutePath(const char *path);

// Case-insensitive comparison as the file system makes it for Windows-1252 names.
int SamePathText(const char *a, const char *b);
int SamePathPrefix(const char *text, const char *prefix, size_t prefixLength);
