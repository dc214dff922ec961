// The sequence's title trim and compositions at their limits, and the Flash Player decision.
#include <gtest/gtest.h>
#include <string>
#include "app/finish_texts.h"
#include "core/layout.h"
#include "core/state.h"
#include "payload/messages.h"

static std::string Trimmed(std::string title)
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
    char file[PathSize];
    EXPECT_EQ(ComposeScreenSaverFile("", file, sizeof file), 1);
    EXPECT_STREQ(file, ".scr");
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
