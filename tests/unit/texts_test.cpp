// The installer's texts and their compositions at their limits, with the pieces they are made of:
// number grouping, the replace question's name, the free-space folder, and the Flash Player
// decision that picks a message.
#include <gtest/gtest.h>
#include <string>
#include "app/flash_version.h"
#include "core/installer_texts.h"
#include "core/layout.h"
#include "core/state.h"
#include "core/text.h"
#include "payload/checks.h"

TEST(InstallCaption, FillsTheTitleAndCutsAtItsBuffer)
{
    char caption[InstallCaptionSize];
    EXPECT_EQ(ComposeInstallCaption("", caption, sizeof caption), 1);
    EXPECT_STREQ(caption, "Installation des Bildschirmschoners ");  // an all-blank title leaves the blank
    std::string title(219, 'T');  // 36 + 219 = 255 characters: just fits
    EXPECT_EQ(ComposeInstallCaption(title.c_str(), caption, sizeof caption), 1);
    EXPECT_EQ(strlen(caption), 255u);
    title += 'U';
    EXPECT_EQ(ComposeInstallCaption(title.c_str(), caption, sizeof caption), 0);
    EXPECT_EQ(std::string(caption), "Installation des Bildschirmschoners " + title.substr(0, 219));
}

TEST(InformationMessage, NamesTitleUpperCaseDirectoryAndSize)
{
    char directory[] = "c:\\windows\\\xE9t\xE9";
    UpperCaseAscii(directory);
    EXPECT_STREQ(directory, "C:\\WINDOWS\\\xE9T\xE9");  // accented letters stay
    char size[NumberTextSize];
    char message[MessageTextSize];
    EXPECT_EQ(ComposeInformationMessage("Sample", "C:\\WINDOWS", FormatThousands(1234567, size), message,
                                        sizeof message), 1);
    EXPECT_STREQ(message, "Dieses Programm installiert Sample Bildschirmschoner nach C:\\WINDOWS und macht diesen zu "
                          "Ihrem Standard-Bildschirmschoner. Die Installation benötigt 1,234,567 Byte.");
    // The longest title with the longest directory is cut, still terminated inside the buffer.
    std::string title(259, 'T'), windows(259, 'W');
    char small[MessageTextSize + 1];
    small[MessageTextSize] = 'x';
    EXPECT_EQ(ComposeInformationMessage(title.c_str(), windows.c_str(), "4,294,967,295", small, MessageTextSize), 0);
    EXPECT_EQ(strlen(small), (size_t)MessageTextSize - 1);
    EXPECT_EQ(small[MessageTextSize], 'x');
}

TEST(FlashVersion, LeadingIntegerAsAtoiReadsIt)
{
    const struct {
        const char *text;
        int32_t version;
    } cases[] = {
        {"9,0,115,0", 9}, {"10.0.12.36", 10}, {" 9,0", 9}, {"\t+11", 11}, {"X1", 0}, {"", 0},
        {"-3", -3},       {"0,1", 0},         {"99999999999", 0x7FFFFFFF},
    };
    for (const auto &c : cases) EXPECT_EQ(LeadingVersion(c.text), c.version) << c.text;
}

TEST(FlashVersion, DecisionOverInstalledAndRequired)
{
    const struct {
        int32_t installed, required;
        FlashVerdict verdict;
    } cases[] = {
        {-1, -1, FlashMissing}, {0, 0, FlashMissing},   {-5, 3, FlashMissing},  {8, 9, FlashOutdated},
        {9, 9, FlashCurrent},   {10, 9, FlashCurrent},  {1, -1, FlashCurrent},  {9, 10, FlashOutdated},
        {1, 0, FlashCurrent},   {9, 255, FlashOutdated},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DecideFlash(c.installed, c.required), c.verdict) << c.installed << " " << c.required;
}

TEST(FlashMessages, MissingPlayerTextJoinsItsPiecesWithTheDownloadPage)
{
    char message[MessageTextSize];
    EXPECT_EQ(ComposeFlashMissingText(message, sizeof message), 1);
    std::string expected = std::string("Sie haben leider keinen Macromedia Flash Player auf Ihrem System installiert. Ohne "
                                       "diesen ist ein Ausführen des Programms nicht möglich. Klicken Sie auf OK, um "
                                       "sich die neueste Version von \"") +
                           FlashPlayerDownloadPage +
                           "\" herunterzuladen. Wenn Sie dies später machen möchten, klicken Sie jetzt bitte auf "
                           "\"Abbrechen\".\r\n\r\nMacromedia Flash ist ein eingetragenes Warenzeichen der Macromedia, Inc.";
    EXPECT_EQ(std::string(message), expected);
    EXPECT_EQ(strncmp(FlashPlayerDownloadPage, "http://", 7), 0);
}

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
