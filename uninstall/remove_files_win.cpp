// The walk over INSTALL.LOG: each allowed file is deleted, everything else is noted for the report.
#include <string.h>
#include <windows.h>
#include "core/fileio.h"
#include "core/layout.h"
#include "core/system_win.h"
#include "core/text.h"
#include "uninstall/log_reader.h"
#include "uninstall/path_rules.h"
#include "uninstall/uninstall.h"

int DeleteListedFile(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return 0;  // the installer writes files only
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path)) return 1;
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
}

static void RememberScreenSaver(RemovedSavers *savers, const char *path)
{
    if (savers->count == RemovedSaverLimit) return;
    unsigned i = savers->count++;
    CopyText(savers->longPath[i], PathSize, path);
    DWORD n = GetShortPathNameA(path, savers->shortPath[i], PathSize);
    if (n == 0 || n >= PathSize) CopyText(savers->shortPath[i], PathSize, path);
}

void RemoveListedFiles(const char *logPath, const char *ownFolder, const char *ownPath, const char *title,
                       RemovalReport *report, RemovedSavers *savers)
{
    char windowsDir[PathSize];
    QueryWindowsDirectory(windowsDir, sizeof windowsDir);  // empty: then no screen saver line is allowed
    // Only this installation's screen saver may go, named as the installer named it.
    char saverFile[PathSize], saverPath[PathSize], saverShort[PathSize] = "";
    if (!ComposeScreenSaverFile(title, saverFile, sizeof saverFile) ||
        !ComposeScreenSaverPath(windowsDir, saverFile, saverPath, sizeof saverPath))
        windowsDir[0] = 0;
    DWORD n = windowsDir[0] ? GetShortPathNameA(saverPath, saverShort, sizeof saverShort) : 0;
    if (n == 0 || n >= sizeof saverShort) saverShort[0] = 0;

    FileHandle log = FileOpenRead(logPath);
    if (log == FileError) {
        report->logMissing = 1;
        return;
    }
    LogReader reader;
    OpenLogReader(&reader, log);
    char line[PathSize];
    LogLineKind kind;
    while ((kind = ReadLogLine(&reader, line, sizeof line)) != LogLineEnd) {
        if (kind == LogLineDamaged) {
            NoteDamaged(report);
            continue;
        }
        PathVerdict verdict = ClassifyLogPath(line, ownFolder, windowsDir, saverFile, saverShort);
        if (verdict == PathOutside) {
            NoteOutside(report, line);
            continue;
        }
        if (verdict == PathMalformed) {
            NoteSkipped(report, line);
            continue;
        }
        // The running uninstaller and the log go last, once everything else is gone.
        if (SamePathText(line, ownPath) || SamePathText(line, logPath)) {
            NoteRemoved(report);
            continue;
        }
        if (verdict == PathScreenSaver) RememberScreenSaver(savers, line);
        if (DeleteListedFile(line)) {
            NoteRemoved(report);
        } else {
            NoteFailed(report, line);
        }
    }
    FileClose(log);
}
