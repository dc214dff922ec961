// The install walk's entry destinations, the uninstall values and the install location, with their
// length limits.
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>
#include "core/state.h"
#include "core/text.h"
#include "install/uninstall_values.h"
#include "install/walk.h"

namespace {

PayloadEntry WithExtension(const char *extension, size_t length)
{
    PayloadEntry entry = {};
    memset(entry.Extension, ' ', sizeof entry.Extension);
    memcpy(entry.Extension, extension, length);
    return entry;
}

struct DestinationCase {
    int index;
    std::string extension;  // exactly as stored in the 16-byte field (shorter ones are blank-padded)
    const char *expected;
};

TEST(EntryDestination, EachIndexHasItsOwnPlace)
{
    CopyText(ScreenSaverTitle, sizeof ScreenSaverTitle, "Sample");
    CopyText(ScreenSaverPath, sizeof ScreenSaverPath, "C:\\WINDOWS\\Sample.scr");
    CopyText(DataFolder, sizeof DataFolder, "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\");
    const std::string data = "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\";
    const std::vector<DestinationCase> cases = {
        {0, ".EXE", "C:\\WINDOWS\\Sample.scr"},  // the extensions of entries 0 to 2 are not consulted
        {1, ".TXT", "Sample.dat"},
        {2, ".SCR", "UNINSTAL.EXE"},
        {3, ".SWF", "FILE0000.SWF"},
        {4, ".SWF", "FILE0001.SWF"},
        {10003, ".SWF", "FILE10000.SWF"},
        {3, "", "FILE0000"},                                            // blanks only: no extension
        {3, ".ABCDEFGHIJKLMNO", "FILE0000.ABCDEFGHIJKLMN"},             // sixteen characters: the first 15
        {3, std::string(".A\0B", 4), "FILE0000.A"},                      // a zero byte ends it
        {3, ".A B", "FILE0000.A B"},                                     // only trailing blanks go
    };
    for (const DestinationCase &c : cases) {
        PayloadEntry entry = WithExtension(c.extension.data(), c.extension.size());
        char destination[PathSize];
        ASSERT_EQ(EntryDestination(c.index, &entry, destination, sizeof destination), 1) << c.index;
        std::string expected = c.index == 0 ? c.expected : data + c.expected;
        EXPECT_EQ(destination, expected) << "index " << c.index << " extension '" << c.extension << "'";
    }
}

TEST(EntryDestination, PathThatDoesNotFitIsRefusedAndTerminated)
{
    std::string folder = "C:\\" + std::string(240, 'f') + "\\";  // 244 characters
    CopyText(DataFolder, sizeof DataFolder, folder.c_str());
    CopyText(ScreenSaverTitle, sizeof ScreenSaverTitle, "abcdefghij");  // 244 + 10 + 4 = 258: fits
    PayloadEntry entry = WithExtension(".SWF", 4);
    char destination[PathSize + 8];
    memset(destination, 'x', sizeof destination);
    EXPECT_EQ(EntryDestination(1, &entry, destination, PathSize), 1);
    EXPECT_EQ(strlen(destination), 258u);
    CopyText(ScreenSaverTitle, sizeof ScreenSaverTitle, "abcdefghijk");  // 259 characters and the NUL: fits
    EXPECT_EQ(EntryDestination(1, &entry, destination, PathSize), 1);
    EXPECT_EQ(strlen(destination), 259u);
    CopyText(ScreenSaverTitle, sizeof ScreenSaverTitle, "abcdefghijkl");  // 260 characters: does not fit
    EXPECT_EQ(EntryDestination(1, &entry, destination, PathSize), 0);
    EXPECT_EQ(strlen(destination), 259u);
    EXPECT_EQ(destination[PathSize], 'x');  // nothing written behind the buffer
    EXPECT_EQ(EntryDestination(2, &entry, destination, PathSize), 1);  // 244 + 12 = 256
    EXPECT_EQ(EntryDestination(3, &entry, destination, PathSize), 1);  // 244 + 12 = 256
    EXPECT_EQ(EntryDestination(10003, &entry, destination, PathSize), 1);  // 257
    EXPECT_EQ(EntryDestination(10000003, &entry, destination, PathSize), 0);  // 260
}

TEST(UninstallKey, SevenValuesGoToTheRegistryWithTheirTerminatingZeroCounted)
{
    const char *uninstaller = "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sky\\UNINSTAL.EXE";
    UninstallValues set;
    ComposeUninstallValues("Sky", uninstaller, "C:\\WINDOWS\\Sky.scr", &set);
    struct Expected {
        const char *name;
        uint32_t type;
        const char *text;  // nullptr: a number
        uint32_t number;
    } expected[UninstallValueCount] = {
        {"DisplayName", ValueText, "Sky Bildschirmschoner", 0},
        // Quoted: run by the system, an unquoted path with blanks would start C:\ProgramData\Quilmark.exe.
        {"UninstallString", ValueExpandText, "\"C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sky\\UNINSTAL.EXE\"", 0},
        {"InstallLocation", ValueExpandText, "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sky", 0},
        {"DisplayIcon", ValueText, "C:\\WINDOWS\\Sky.scr,-0", 0},
        {"Publisher", ValueText, "Erstellt mit Quilmark's Vistaworks", 0},
        {"VersionMajor", ValueNumber, nullptr, 7},
        {"VersionMinor", ValueNumber, nullptr, 0},
    };
    for (int i = 0; i < UninstallValueCount; i++) {
        const UninstallValue &v = set.value[i];
        const Expected &e = expected[i];
        EXPECT_STREQ(v.name, e.name);
        EXPECT_STREQ(v.name, UninstallValueNames[i]) << "the uninstaller deletes what the installer writes";
        EXPECT_EQ(v.type, e.type) << e.name;
        if (e.text) {
            EXPECT_EQ(v.size, strlen(e.text) + 1) << e.name;
            EXPECT_EQ(memcmp(v.data, e.text, strlen(e.text) + 1), 0) << e.name;
        } else {
            uint32_t number;
            ASSERT_EQ(v.size, 4u) << e.name;
            memcpy(&number, v.data, 4);
            EXPECT_EQ(number, e.number) << e.name;
        }
    }
}

TEST(InstallLocation, UninstallerFolderWithoutClosingBackslash)
{
    char location[PathSize];
    ASSERT_EQ(ComposeInstallLocation("C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE", location,
                                     sizeof location), 1);
    EXPECT_STREQ(location, "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample");
}

}  // namespace
