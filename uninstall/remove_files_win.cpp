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

int FileIsGone(const char *path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return 0;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

int DeleteListedFile(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileIsGone(path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return 0;  // the installer writes files only
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path)) return 1;
    return FileIsGone(path);
}

static void RememberScreenSaver(RemovedSavers *savers, const char *path)
{
    if (savers->count == RemovedSaverLimit) return;
    unsigned i = savers->count++;
    CopyText(savers->longPath[i], PathSize, path);
    DWORD n = GetShortPathNameA(path, savers->shortPath[i], PathSize);
    if (n == 0 || n >= PathSize) CopyText(savers->shortPath[i], PathSize, path);
}

HANDLE OpenHeldLog(const char *logPath, RemovalReport *report)
{
    HANDLE log = CreateFileA(logPath, GENERIC_READ | DELETE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            report->logMissing = 1;
        } else {
            report->logUnreadable = 1;
        }
    }
    return log;
}

int MarkLogForDeletion(HANDLE log, const char *logPath, int deleteIt)
{
    // Vista's call; the programs declare no older system.
    typedef BOOL(WINAPI * SetInformationCall)(HANDLE, int, LPVOID, DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetInformationCall setInformation =
        kernel ? (SetInformationCall)(void *)GetProcAddress(kernel, "SetFileInformationByHandle") : NULL;
    if (!setInformation) return 0;
    enum { FileDispositionInfoClass = 4 };
    struct {
        BOOLEAN deleteFile;
    } disposition = {(BOOLEAN)(deleteIt ? TRUE : FALSE)};
    if (setInformation(log, FileDispositionInfoClass, &disposition, sizeof disposition)) return 1;
    if (!deleteIt) return 0;
    // A read-only log refuses the mark; its attributes can still be set by path while it is held.
    DWORD attributes = GetFileAttributesA(logPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return 0;
    SetFileAttributesA(logPath, attributes & ~FILE_ATTRIBUTE_READONLY);
    return setInformation(log, FileDispositionInfoClass, &disposition, sizeof disposition) != 0;
}

// The line reader works over the handle file layer, whose handles are the system's file handles.
static void StartReading(LogReader *reader, HANDLE log)
{
    SetFilePointer(log, 0, NULL, FILE_BEGIN);
    OpenLogReader(reader, (FileHandle)(intptr_t)log);
}

// 1 when every byte of the log arrived: a read that fails counts as the end for the line reader, so
// the position it reached is held against the size.
static int ReadsWhole(HANDLE log)
{
    LogReader reader;
    StartReading(&reader, log);
    char line[PathSize];
    while (ReadLogLine(&reader, line, sizeof line) != LogLineEnd) {
    }
    DWORD size = GetFileSize(log, NULL);
    return size != INVALID_FILE_SIZE && SetFilePointer(log, 0, NULL, FILE_CURRENT) == size;
}

// What the walk needs to judge a line: the places it may delete in, and its own two files.
struct Places {
    const char *ownFolder, *ownPath, *logPath;
    char windowsDir[PathSize], saverFile[PathSize], saverShort[PathSize];
};

// Only this installation's screen saver may go, named as the installer named it.
static void FindPlaces(Places *places, const char *title)
{
    QueryWindowsDirectory(places->windowsDir, sizeof places->windowsDir);  // empty: no screen saver line is allowed
    char saverPath[PathSize];
    places->saverShort[0] = 0;
    if (!ComposeScreenSaverFile(title, places->saverFile, sizeof places->saverFile) ||
        !ComposeScreenSaverPath(places->windowsDir, places->saverFile, saverPath, sizeof saverPath))
        places->windowsDir[0] = 0;
    DWORD n = places->windowsDir[0] ? GetShortPathNameA(saverPath, places->saverShort, sizeof places->saverShort) : 0;
    if (n == 0 || n >= sizeof places->saverShort) places->saverShort[0] = 0;
}

static PathVerdict Judge(const Places *places, const char *line)
{
    return ClassifyLogPath(line, places->ownFolder, places->windowsDir, places->saverFile, places->saverShort);
}

static int IsOwnFile(const Places *places, const char *line)
{
    return SamePathText(line, places->ownPath) || SamePathText(line, places->logPath);
}

void RemoveListedFiles(HANDLE log, const char *logPath, const char *ownFolder, const char *ownPath,
                       const char *title, RemovalReport *report, RemovedSavers *savers)
{
    if (!ReadsWhole(log)) {
        report->logUnreadable = 1;
        return;
    }
    Places places = {ownFolder, ownPath, logPath, "", "", ""};
    FindPlaces(&places, title);
    LogReader reader;
    StartReading(&reader, log);
    char line[PathSize];
    LogLineKind kind;
    while ((kind = ReadLogLine(&reader, line, sizeof line)) != LogLineEnd) {
        if (kind == LogLineDamaged) {
            NoteDamaged(report);
            continue;
        }
        // The reader met the end of the log inside this line: the installer stopped while writing it.
        int unended = reader.atEnd;
        PathVerdict verdict = Judge(&places, line);
        if (verdict == PathOutside) {
            NoteOutside(report, line);
            continue;
        }
        if (verdict == PathMalformed) {
            NoteSkipped(report, line);
            continue;
        }
        // The running uninstaller and the log go last, once everything else is gone.
        if (IsOwnFile(&places, line)) {
            NoteRemoved(report);
            continue;
        }
        // A path cut short names no file; the file whose name it began stays unnamed.
        if (unended && FileIsGone(line)) {
            NoteCut(report, line);
            continue;
        }
        if (verdict == PathScreenSaver) RememberScreenSaver(savers, line);
        if (DeleteListedFile(line)) {
            NoteRemoved(report);
        } else {
            NoteFailed(report, line);
        }
    }
    if (RemovalMustBeRepeated(report)) return;
    // Deleted is not yet gone (a file another program holds open for deleting stays until it is
    // closed): before the run says that everything went, every file the log names is looked for.
    StartReading(&reader, log);
    while ((kind = ReadLogLine(&reader, line, sizeof line)) != LogLineEnd) {
        if (kind != LogLinePath || IsOwnFile(&places, line)) continue;
        PathVerdict verdict = Judge(&places, line);
        if ((verdict == PathInOwnFolder || verdict == PathScreenSaver) && !FileIsGone(line)) NoteFailed(report, line);
    }
}
