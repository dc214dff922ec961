// core/layout: the title trim, and the names, keys and folders composed from the title, each at the
// limit of its buffer.
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>
#include "core/layout.h"

namespace {

std::string Trimmed(std::string title)
{
    char buffer[PathSize] = {};
    memcpy(buffer, title.data(), title.size());
    TrimTitle(buffer, sizeof buffer);
    EXPECT_EQ(TrimmedTitleLength(title.c_str(), PathSize), strlen(buffer));
    return std::string(buffer, PathSize).substr(0, title.size());
}

TEST(TitleTrim, RemovesTrailingBlanksOnly)
{
    EXPECT_EQ(Trimmed("Sample  "), std::string("Sample\0\0", 8));
    EXPECT_EQ(Trimmed("   "), std::string(3, '\0'));
    EXPECT_EQ(Trimmed("Tab\t"), "Tab\t");
    EXPECT_EQ(Trimmed("Tab\t "), std::string("Tab\t\0", 5));
    EXPECT_EQ(Trimmed(" Lead"), " Lead");
    EXPECT_EQ(Trimmed(""), "");
    std::string full(259, 'x');
    full[258] = ' ';
    EXPECT_EQ(Trimmed(full), full.substr(0, 258) + '\0');
}

// One rule for the bytes of every name: a control byte nowhere (INSTALL.LOG could not hold the
// line), % in no title (UninstallString is expanded), the rest as Windows file names take them.
TEST(NameRule, ControlBytesNowherePercentInNoTitle)
{
    struct Case {
        unsigned char byte;
        TitleFault title;  // of "Bad?Saver"
        int extensionUsable;  // of ".A?B"
    };
    const Case cases[] = {
        {0x00, TitleForbiddenByte, 1},  // the zero byte ends the Extension field before it
        {0x01, TitleForbiddenByte, 0},
        {'\t', TitleForbiddenByte, 0},
        {0x1F, TitleForbiddenByte, 0},
        {0x7F, TitleForbiddenByte, 0},
        {'%', TitlePercentSign, 1},
        {'|', TitleForbiddenByte, 0},
        {' ', TitleSound, 1},
        {'~', TitleSound, 1},
        {0x80, TitleSound, 1},  // Windows-1252 letters and signs from here on
        {0xA0, TitleSound, 1},
        {0xFF, TitleSound, 1},
    };
    for (const Case &c : cases) {
        std::string title = std::string("Bad") + (char)c.byte + "Saver";  // too long for an 8.3 shape
        EXPECT_EQ(TitleFaultOf(title.data(), title.size()), c.title) << (int)c.byte;
        char field[ExtensionCharacters + 2] = ".A?B            ";  // the 16-byte field and a NUL
        field[2] = (char)c.byte;
        EXPECT_EQ(ExtensionFieldUsable(field), c.extensionUsable) << (int)c.byte;
    }
}

TEST(UninstallKey, NamedForTheWholeTitle)
{
    for (const char *title : {"Sample", "Night Sky 2.0", "a.b.c"}) {
        char key[UninstallKeySize];
        ASSERT_EQ(ComposeUninstallKey(title, key, sizeof key), 1);
        EXPECT_EQ(std::string(key), std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + title);
    }
}

TEST(UninstallKey, BoundedByItsBuffer)
{
    size_t root = strlen(UninstallRoot) + 1;
    std::string title = std::string(UninstallKeySize - 1 - root, 't');  // exactly 1023 characters in all
    char key[UninstallKeySize + 1];
    key[UninstallKeySize] = 'x';
    EXPECT_EQ(ComposeUninstallKey(title.c_str(), key, UninstallKeySize), 1);
    EXPECT_EQ(strlen(key), (size_t)UninstallKeySize - 1);
    title += "u";
    EXPECT_EQ(ComposeUninstallKey(title.c_str(), key, UninstallKeySize), 0);
    EXPECT_EQ(strlen(key), (size_t)UninstallKeySize - 1);
    EXPECT_EQ(key[UninstallKeySize], 'x');
    EXPECT_EQ(ComposeUninstallKey("Sample", key, 20), 0);
}

TEST(ScreenSaverPath, OneBackslashBetweenDirectoryAndFile)
{
    char bare[PathSize];
    EXPECT_EQ(ComposeScreenSaverFile("", bare, sizeof bare), 1);  // an all-blank title leaves the extension
    EXPECT_STREQ(bare, ".scr");
    char path[PathSize];
    ASSERT_EQ(ComposeScreenSaverPath("C:\\WINDOWS", "Sample.scr", path, sizeof path), 1);
    EXPECT_STREQ(path, "C:\\WINDOWS\\Sample.scr");
    ASSERT_EQ(ComposeScreenSaverPath("C:\\", "Sample.scr", path, sizeof path), 1);
    EXPECT_STREQ(path, "C:\\Sample.scr");
    std::string file(259 - 11, 's');
    EXPECT_EQ(ComposeScreenSaverPath("C:\\WINDOWS", file.c_str(), path, sizeof path), 1);
    file += "s";
    EXPECT_EQ(ComposeScreenSaverPath("C:\\WINDOWS", file.c_str(), path, sizeof path), 0);
    EXPECT_EQ(strlen(path), 259u);
}

std::vector<std::string> Created;
void RecordDirectory(const char *path) { Created.push_back(path); }

struct FolderCase {
    const char *name;
    const char *base;
    const char *windows;
    const char *folder;
    std::vector<std::string> created;
};

TEST(DataFolder, BuiltOneLevelAtATimeWithClosingBackslash)
{
    const std::vector<FolderCase> cases = {
        {"common folder", "C:\\ProgramData", "C:\\WINDOWS", "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Night Sky 2.0\\",
         {"C:\\ProgramData\\Quilmark LLC", "C:\\ProgramData\\Quilmark LLC\\Vistaworks",
          "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Night Sky 2.0"}},
        {"windows fallback", "", "C:\\WINDOWS",
         "C:\\WINDOWS\\All Users\\Application Data\\Quilmark LLC\\Vistaworks\\Night Sky 2.0\\",
         {"C:\\WINDOWS\\All Users", "C:\\WINDOWS\\All Users\\Application Data",
          "C:\\WINDOWS\\All Users\\Application Data\\Quilmark LLC",
          "C:\\WINDOWS\\All Users\\Application Data\\Quilmark LLC\\Vistaworks",
          "C:\\WINDOWS\\All Users\\Application Data\\Quilmark LLC\\Vistaworks\\Night Sky 2.0"}},
        {"windows at a drive root", "", "D:\\", "D:\\All Users\\Application Data\\Quilmark LLC\\Vistaworks\\Night Sky 2.0\\",
         {"D:\\All Users", "D:\\All Users\\Application Data", "D:\\All Users\\Application Data\\Quilmark LLC",
          "D:\\All Users\\Application Data\\Quilmark LLC\\Vistaworks",
          "D:\\All Users\\Application Data\\Quilmark LLC\\Vistaworks\\Night Sky 2.0"}},
        {"nothing known", "", "", "\\Quilmark LLC\\Vistaworks\\Night Sky 2.0\\",
         {"\\Quilmark LLC", "\\Quilmark LLC\\Vistaworks", "\\Quilmark LLC\\Vistaworks\\Night Sky 2.0"}},
    };
    for (const FolderCase &c : cases) {
        Created.clear();
        char folder[PathSize];
        ASSERT_EQ(ComposeDataFolder(c.base, c.windows, "Night Sky 2.0", RecordDirectory, folder, sizeof folder), 1)
            << c.name;
        EXPECT_STREQ(folder, c.folder) << c.name;
        EXPECT_EQ(Created, c.created) << c.name;
    }
}

TEST(DataFolder, LevelsBeyondTheLimitAreNeitherComposedNorCreated)
{
    // "C:\PD" + "\Quilmark LLC\Vistaworks\" = 30 characters, then the title and the closing backslash.
    std::string title(259 - 30 - 1, 't');
    char folder[PathSize + 1];
    folder[PathSize] = 'x';
    Created.clear();
    EXPECT_EQ(ComposeDataFolder("C:\\PD", "", title.c_str(), RecordDirectory, folder, PathSize), 1);
    EXPECT_EQ(strlen(folder), 259u);
    EXPECT_EQ(Created.size(), 3u);

    title += "t";  // the closing backslash no longer fits
    Created.clear();
    EXPECT_EQ(ComposeDataFolder("C:\\PD", "", title.c_str(), RecordDirectory, folder, PathSize), 0);
    EXPECT_EQ(Created.size(), 3u);
    EXPECT_EQ(folder[PathSize], 'x');

    title += "t";  // the title level itself no longer fits: it is not created under a cut name
    Created.clear();
    EXPECT_EQ(ComposeDataFolder("C:\\PD", "", title.c_str(), RecordDirectory, folder, PathSize), 0);
    EXPECT_EQ(Created.size(), 2u);
}

}  // namespace
