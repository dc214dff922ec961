// The uninstaller's log reader and deletion rules on arbitrary logs, titles and UninstallStrings: no
// line it would delete may lie anywhere but at <Windows>\<title>.scr or directly in its own data
// folder, and it may take the uninstall entry as its own only when the entry names its own path.
// The rules are checked against a comparison written here, not against themselves.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <string>
#include "core/fileio.h"
#include "core/layout.h"
#include "core/state.h"
#include "uninstall/log_reader.h"
#include "uninstall/own_folder.h"
#include "uninstall/path_rules.h"

namespace {

const char WindowsDir[] = "C:\\WINDOWS";
const char DataRoot[] = "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\";

// Windows-1252 case folding: ASCII letters and the accented letters 0xE0..0xFE but 0xF7.
unsigned char Fold(unsigned char c)
{
    if (c >= 'a' && c <= 'z') return (unsigned char)(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return (unsigned char)(c - 32);
    return c;
}

std::string Folded(const std::string &text)
{
    std::string out;
    for (unsigned char c : text) out += (char)Fold(c);
    return out;
}

// 1 when path is folder + one name that leads nowhere else.
bool NameDirectlyIn(const std::string &path, const std::string &folder)
{
    if (path.size() <= folder.size() || Folded(path.substr(0, folder.size())) != Folded(folder)) return false;
    std::string name = path.substr(folder.size());
    return name.find_first_of("\\/:") == std::string::npos && name != "." && name != ".." &&
           name.find_first_not_of(". ") != std::string::npos;
}

// Splits the next length-prefixed field (at most limit bytes) off the input.
std::string Field(const uint8_t *&data, size_t &size, size_t limit)
{
    if (size == 0) return "";
    size_t n = data[0] % (limit + 1);
    data++;
    size--;
    if (n > size) n = size;
    std::string out((const char *)data, n);
    data += n;
    size -= n;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string titleBytes = Field(data, size, 40);
    std::string uninstallString = Field(data, size, 255);
    std::string ownFolder = std::string(DataRoot) + titleBytes.c_str() + "\\";
    char title[PathSize], saverFile[PathSize], saverPath[PathSize];
    // The uninstaller refuses to act outside a data folder it can read its title from.
    if (!TitleOfDataFolder(ownFolder.c_str(), title, sizeof title)) return 0;
    if (!ComposeScreenSaverFile(title, saverFile, sizeof saverFile) ||
        !ComposeScreenSaverPath(WindowsDir, saverFile, saverPath, sizeof saverPath))
        return 0;
    std::string ownPath = ownFolder + "UNINSTAL.EXE";

    if (UninstallEntryIsOwn(uninstallString.c_str(), ownPath.c_str()) &&
        Folded(uninstallString).find(Folded(ownPath)) == std::string::npos)
        abort();  // another program's entry taken for its own

    static char logPath[64];
    if (!logPath[0]) snprintf(logPath, sizeof logPath, "/tmp/fuzz_uninstall_log.%d", (int)getpid());
    FILE *f = fopen(logPath, "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    FileHandle log = FileOpenRead(logPath);
    static LogReader reader;
    OpenLogReader(&reader, log);
    char line[PathSize];
    LogLineKind kind;
    while ((kind = ReadLogLine(&reader, line, sizeof line)) != LogLineEnd) {
        if (strlen(line) >= sizeof line) abort();
        if (kind != LogLinePath) continue;
        PathVerdict verdict = ClassifyLogPath(line, ownFolder.c_str(), WindowsDir, saverFile, "");
        if (verdict != PathInOwnFolder && verdict != PathScreenSaver) continue;
        std::string path = line;
        bool saver = Folded(path) == Folded(saverPath);
        if (!saver && !NameDirectlyIn(path, ownFolder)) abort();  // it would delete another's file
    }
    if (log != FileError) FileClose(log);
    return 0;
}
