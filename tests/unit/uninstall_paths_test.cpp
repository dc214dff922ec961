// Which INSTALL.LOG lines the uninstaller may delete, and how it finds its title and key.
#include <gtest/gtest.h>
#include <string>
#include "core/text.h"
#include "uninstall/arguments.h"
#include "uninstall/own_folder.h"
#include "uninstall/path_rules.h"

namespace {

const char Own[] = "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\";
const char Windows[] = "C:\\WINDOWS";
const char Saver[] = "Sample.scr";
const char SaverShort[] = "C:\\WINDOWS\\SAMPLE~1.SCR";

TEST(UninstallPaths, OnlyFilesInItsFolderAndScreenSaversInTheWindowsDirectoryMayGo)
{
    struct Case {
        const char *path;
        PathVerdict verdict;
    } cases[] = {
        // What the installer writes.
        {"C:\\WINDOWS\\Sample.scr", PathScreenSaver},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\Sample.dat", PathInOwnFolder},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE", PathInOwnFolder},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\FILE0000.SWF", PathInOwnFolder},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\FILE0001", PathInOwnFolder},
        // Case does not matter on Windows, neither for ASCII nor for accented letters.
        {"c:\\windows\\sample.SCR", PathScreenSaver},
        {"c:\\programdata\\QUILMARK llc\\vistaworks\\SAMPLE\\sample.dat", PathInOwnFolder},
        // Elsewhere in the Windows directory, its subfolders, other folders.
        {"C:\\WINDOWS\\notepad.exe", PathOutside},
        {"C:\\WINDOWS\\system32\\something", PathOutside},
        {"C:\\WINDOWS\\system32\\evil.scr", PathOutside},
        // Only this installation's screen saver: another's .scr stays, the short form counts.
        {"C:\\WINDOWS\\Other.scr", PathOutside},
        {"C:\\WINDOWS\\Sample2.scr", PathOutside},
        {"C:\\WINDOWS\\SAMPLE~1.SCR", PathScreenSaver},
        {"C:\\WINDOWS\\SAMPLE~2.SCR", PathOutside},
        {"C:\\WINDOWS\\.scr", PathOutside},  // an extension alone names no screen saver
        {"C:\\WINDOWS\\scr", PathOutside},
        {"C:\\WINDOWSX\\a.scr", PathOutside},
        {"C:\\WINDOWS.scr", PathOutside},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\sub\\a.dat", PathOutside},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Other\\a.dat", PathOutside},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample2\\a.dat", PathOutside},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample", PathOutside},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\", PathMalformed},
        {"D:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\Sample.dat", PathOutside},
        {"D:\\WINDOWS\\Sample.scr", PathOutside},
        // Paths that leave the folder or reach something other than the name written.
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\..\\..\\x.dat", PathMalformed},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\..", PathMalformed},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\.\\a.dat", PathMalformed},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\a/../../x.dat", PathMalformed},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\\\a.dat", PathMalformed},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\a.dat.", PathMalformed},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\a.dat ", PathMalformed},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\a.dat:stream", PathMalformed},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\*.dat", PathMalformed},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\a?.dat", PathMalformed},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\a\x7F.dat", PathMalformed},  // the name rule's control byte
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\NUL", PathMalformed},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\con.dat", PathMalformed},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\COM1", PathMalformed},
        {"C:\\WINDOWS\\..\\WINDOWS\\Sample.scr", PathMalformed},
        {"C:\\WINDOWS\\Sample.scr.", PathMalformed},
        {"\\\\server\\share\\Sample.scr", PathMalformed},
        {"\\\\?\\C:\\WINDOWS\\Sample.scr", PathMalformed},
        {"\\\\.\\C:\\WINDOWS\\Sample.scr", PathMalformed},
        {"\\WINDOWS\\Sample.scr", PathMalformed},
        {"C:WINDOWS\\Sample.scr", PathMalformed},
        {"Sample.scr", PathMalformed},
        {"..\\Sample.dat", PathMalformed},
        {"", PathMalformed},
        {"1:\\WINDOWS\\Sample.scr", PathMalformed},
    };
    for (const Case &c : cases) EXPECT_EQ(ClassifyLogPath(c.path, Own, Windows, Saver, SaverShort), c.verdict) << c.path;
}

TEST(UninstallPaths, FoldersMatchWithOrWithoutTheirClosingBackslash)
{
    const char *own = "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample";
    EXPECT_EQ(ClassifyLogPath("C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\a.dat", own, "C:\\WINDOWS\\", "a.scr", ""),
              PathInOwnFolder);
    EXPECT_EQ(ClassifyLogPath("C:\\WINDOWS\\a.scr", own, "C:\\WINDOWS\\", "a.scr", ""), PathScreenSaver);
    // A Windows directory at a drive's root keeps its backslash; a screen saver directly in it still counts.
    EXPECT_EQ(ClassifyLogPath("C:\\a.scr", own, "C:\\", "a.scr", ""), PathScreenSaver);
    EXPECT_EQ(ClassifyLogPath("C:\\x\\a.scr", own, "C:\\", "a.scr", ""), PathOutside);
    // Without a known Windows directory no screen saver line is allowed.
    EXPECT_EQ(ClassifyLogPath("C:\\WINDOWS\\a.scr", own, "", "a.scr", ""), PathOutside);
}

TEST(UninstallPaths, PathsAtTheLengthLimit)
{
    std::string own = "C:\\" + std::string(200, 'f') + "\\";
    std::string fits = own + std::string(259 - own.size(), 'n');
    std::string tooLong = fits + "n";
    EXPECT_EQ(ClassifyLogPath(fits.c_str(), own.c_str(), Windows, Saver, SaverShort), PathInOwnFolder);
    EXPECT_EQ(ClassifyLogPath(tooLong.c_str(), own.c_str(), Windows, Saver, SaverShort), PathMalformed);
}

TEST(UninstallOwnFolder, TitleComesFromAnInstalledDataFolderOnly)
{
    struct Case {
        const char *folder;
        const char *title;  // nullptr: not a data folder
    } cases[] = {
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\", "Sample"},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Night Sky 2.0", "Night Sky 2.0"},
        {"C:\\WINDOWS\\All Users\\Application Data\\quilmark llc\\VISTAWORKS\\Bl\xFCten\\", "Bl\xFCten"},
        {"\\Quilmark LLC\\Vistaworks\\Sample\\", "Sample"},  // the root of the current drive
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\", nullptr},
        {"C:\\ProgramData\\Quilmark\\Vistaworks\\Sample\\", nullptr},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks2\\Sample\\", nullptr},
        {"C:\\build\\uninstall\\", nullptr},
        // Titles the installer refuses: "Sky." would lead to the key of another product "Sky".
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sky.\\", nullptr},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\.\\", nullptr},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\..\\", nullptr},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\NUL\\", nullptr},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\com1.txt\\", nullptr},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\SAMPLE~1\\", nullptr},  // may be another title's folder
        {"Sample\\", nullptr},
        {"", nullptr},
    };
    for (const Case &c : cases) {
        char title[260] = "unchanged";
        int ok = TitleOfDataFolder(c.folder, title, sizeof title);
        EXPECT_EQ(ok, c.title != nullptr) << c.folder;
        EXPECT_STREQ(title, c.title ? c.title : "") << c.folder;
    }
    char small[4];
    EXPECT_EQ(TitleOfDataFolder("C:\\Quilmark LLC\\Vistaworks\\Sample\\", small, sizeof small), 0);
}

TEST(UninstallOwnFolder, FolderOfPath)
{
    char folder[260];
    ASSERT_EQ(FolderOfPath("C:\\a\\UNINSTAL.EXE", folder, sizeof folder), 1);
    EXPECT_STREQ(folder, "C:\\a\\");
    EXPECT_EQ(FolderOfPath("UNINSTAL.EXE", folder, sizeof folder), 0);
    EXPECT_EQ(FolderOfPath("C:\\abc\\x", folder, 6), 0);
    EXPECT_EQ(FolderOfPath("C:\\abc\\x", folder, 8), 1);
}

TEST(UninstallOwnFolder, OnlyAnEntryThatStartsThisUninstallerIsItsOwn)
{
    const char *own = "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sky\\UNINSTAL.EXE";
    EXPECT_EQ(UninstallEntryIsOwn(own, own), 1);
    EXPECT_EQ(UninstallEntryIsOwn("c:\\programdata\\quilmark llc\\vistaworks\\SKY\\uninstal.exe", own), 1);
    EXPECT_EQ(UninstallEntryIsOwn("C:\\Program Files\\Sky\\uninstall.exe", own), 0);
    EXPECT_EQ(UninstallEntryIsOwn("C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sky.\\UNINSTAL.EXE", own), 0);
    EXPECT_EQ(UninstallEntryIsOwn("", own), 0);
    EXPECT_EQ(UninstallEntryIsOwn("", ""), 0);
    // Quoted, as the installer writes it now; the bare form above is an older installation's.
    EXPECT_EQ(UninstallEntryIsOwn("\"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sky\\UNINSTAL.EXE\"", own), 1);
    EXPECT_EQ(UninstallEntryIsOwn("\"c:\\programdata\\quilmark llc\\vistaworks\\sky\\uninstal.exe\"", own), 1);
    EXPECT_EQ(UninstallEntryIsOwn("\"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sky\\UNINSTAL.EXE", own), 0);
    EXPECT_EQ(UninstallEntryIsOwn("\"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sky\\UNINSTAL.EXE\" /s", own), 0);
    EXPECT_EQ(UninstallEntryIsOwn("\"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sky\\UNINSTAL.EX\"", own), 0);
    EXPECT_EQ(UninstallEntryIsOwn("\"\"", own), 0);
    // The longest uninstaller path the installer writes, read back quoted, still fits and is its own.
    std::string longest = "C:\\" + std::string(PathSize - 1 - 3 - 13, 'D') + "\\UNINSTAL.EXE";
    ASSERT_EQ(longest.size(), (size_t)PathSize - 1);
    char command[UninstallCommandSize];
    ASSERT_EQ(FormatText(command, sizeof command, "\"%s\"", longest.c_str()), 1);
    EXPECT_EQ(UninstallEntryIsOwn(command, longest.c_str()), 1);
}

TEST(UninstallArguments, FollowTheProgramsOwnName)
{
    const char *own = "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Fancy -s Saver\\UNINSTAL.EXE";
    struct Case {
        const char *commandLine;
        const char *arguments;
    } cases[] = {
        // The quoted UninstallString, and the system's /s after it.
        {"\"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Fancy -s Saver\\UNINSTAL.EXE\"", ""},
        {"\"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Fancy -s Saver\\UNINSTAL.EXE\" /s", "/s"},
        // An older installation's bare UninstallString: the title's "-s" is part of the name.
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Fancy -s Saver\\UNINSTAL.EXE", ""},
        {"c:\\programdata\\quilmark llc\\vistaworks\\fancy -s saver\\uninstal.exe /s", "/s"},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Fancy -s Saver\\UNINSTAL.EXE\t-s", "-s"},
        // Any other line as the C runtime reads it: the name ends at its first blank.
        {"UNINSTAL.EXE /s", "/s"},
        {"UNINSTAL.EXE", ""},
        {"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Fancy -s Saver\\UNINSTAL.EXEX /s", "LLC\\Vistaworks\\Fancy -s Saver\\UNINSTAL.EXEX /s"},
        {"\"unterminated /s", ""},
        {"\"UNINSTAL.EXE\"/s", "/s"},
        // Every byte from 0x01 to 0x20 after the name is skipped, as the runtime skips it.
        {"UNINSTAL.EXE \x01\x1f\r\n\v /s", "/s"},
        {"\"UNINSTAL.EXE\"\x7f/s", "\x7f/s"},
        {"UNINSTAL.EXE \xa0/s", "\xa0/s"},
        {"UNINSTAL.EXE\x05-s", "-s"},  // and ends a bare name
    };
    for (const Case &c : cases)
        EXPECT_STREQ(UninstallerArguments(c.commandLine, own), c.arguments) << '"' << c.commandLine << '"';
}

TEST(UninstallArguments, OnlySlashSAsksForTheSilentRun)
{
    struct Case {
        const char *arguments;
        int silent;
    } cases[] = {
        {"", 0}, {"/s", 1}, {"/S", 1}, {"-s", 1}, {"  /s  ", 1}, {"/x /s", 1},
        {"/silent", 0}, {"s", 0}, {"/ss", 0}, {"x/s", 0}, {"/", 0},
    };
    for (const Case &c : cases) EXPECT_EQ(WantsSilentRun(c.arguments), c.silent) << '"' << c.arguments << '"';
}

}  // namespace
