// The pre-install checks' rules and texts: number grouping, the free-space folder, the replace
// question's name and the disk-space question.
#include <gtest/gtest.h>
#include <string>
#include "payload/messages.h"

TEST(FormatThousands, GroupsEveryThreeDigitsFromTheRight)
{
    const struct {
        uint32_t value;
        const char *text;
    } cases[] = {
        {0, "0"},
        {7, "7"},
        {999, "999"},
        {1000, "1,000"},
        {999999, "999,999"},
        {1234567, "1,234,567"},
        {2147483647u, "2,147,483,647"},
        {2147483648u, "2,147,483,648"},  // 2 GiB and more stay unsigned: no minus sign
        {4294967295u, "4,294,967,295"},
    };
    for (const auto &c : cases) {
        char buffer[NumberTextSize];
        memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(FormatThousands(c.value, buffer), buffer);
        EXPECT_STREQ(buffer, c.text) << c.value;
    }
}

TEST(FreeSpaceRoot, CutsAfterTheLastBackslashOrTakesTheDriveRootOfALongPath)
{
    const struct {
        const char *path, *root;
    } cases[] = {
        {"C:\\WINDOWS", "C:\\"},
        {"C:\\", "C:\\"},
        {"D:\\Programs\\Windows", "D:\\Programs\\"},
        {"C:\\abcdefghijklmnopqrstuvwxyz1234", "C:\\"},                    // 31 characters: fits as it is
        {"E:\\a\\abcdefghijklmnopqrstuvwxyz1234567890\\WINDOWS", "E:\\"},  // too long: its drive
        {"\\\\server\\share\\a very long folder name\\WINDOWS", "\\\\server\\share\\"},
        {"\\\\a-server-with-a-long-name\\and-a-long-share\\WINDOWS", "\\\\a-server-with-a-long-name\\"},
    };
    for (const auto &c : cases) {
        char root[FreeSpaceRootSize + 8];
        memset(root, 'x', sizeof root);
        FreeSpaceRoot(c.path, root);
        EXPECT_STREQ(root, c.root) << c.path;
        EXPECT_EQ(root[FreeSpaceRootSize], 'x') << "wrote past the work buffer for " << c.path;
    }
}

TEST(ExistingScreenSaverName, IsTheInstallerFileNameWithTheScreenSaverExtension)
{
    const struct {
        const char *path, *name;
    } cases[] = {
        {"D:\\Downloads\\Sunset.exe", "Sunset.SCR"},
        {"C:\\e2e\\renamed copy.EXE", "renamed copy.SCR"},
        {"C:\\a.b\\setup", "setup.SCR"},  // a dot in a folder name is not the file's extension
        {"C:\\x\\Polar.Lights.exe", "Polar.Lights.SCR"},
        {"setup.exe", "setup.SCR"},
    };
    for (const auto &c : cases) {
        char name[260];
        EXPECT_EQ(ExistingScreenSaverName(c.path, name, sizeof name), 1) << c.path;
        EXPECT_STREQ(name, c.name);
    }
    char name[8];
    EXPECT_EQ(ExistingScreenSaverName("C:\\longername.exe", name, sizeof name), 0);  // cut: no name to look for
    EXPECT_EQ(ExistingScreenSaverName("C:\\x\\.exe", name, sizeof name), 0);
}

TEST(DiskSpaceQuestion, NamesTheNeededAndTheFreeKilobytesGrouped)
{
    char message[MessageTextSize];
    EXPECT_EQ(ComposeDiskSpaceQuestion(6000, 5000, message, sizeof message), 1);
    EXPECT_STREQ(message,
                 "Sie benötigen zur Installation dieses Bildschirmschoners 6,000 KB freien Festplattenspeicher im "
                 "Windows-Verzeichnis. Ihr Laufwerk hat 5,000 KB freien Speicher. Soll die Installation trotzdem "
                 "fortgesetzt werden?");
    char replace[MessageTextSize];
    EXPECT_EQ(ComposeReplaceQuestion("Sunset.SCR", replace, sizeof replace), 1);
    EXPECT_STREQ(replace, "Auf Ihrem Computer ist bereits ein Bildschirmschoner mit dem Namen Sunset.SCR vorhanden. "
                          "Soll dieser ersetzt werden?");
    EXPECT_EQ((unsigned char)DiskFullCaption[7], 0xE4u);  // "Datenträger" in Windows-1252
}
