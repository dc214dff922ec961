// Names as the installer forms them and the title's code page.
#include <gtest/gtest.h>

#include "sspack/format/names.h"
#include "sspack/tool_error.h"

TEST(SspackNames, ExtensionFieldIsUpperCaseWithItsDotBlankPadded)
{
    struct Case {
        const char *path, *field;
    };
    const Case cases[] = {
        {"saver.scr", ".SCR            "},
        {"dir.d/Movie.Swf", ".SWF            "},
        {"archive.tar.gz", ".GZ             "},
        {"README", "                "},
        {".hidden", "                "},
        {"trailing.", "                "},
        {"x.abcdefghijklmn", ".ABCDEFGHIJKLMN "},
        {"movie.swf ", ".SWF            "},  // the installer drops the blank
        {"movie. swf", ". SWF           "},
    };
    for (const Case &c : cases) EXPECT_EQ(ExtensionField(c.path), c.field) << c.path;
    EXPECT_THROW(ExtensionField("x.abcdefghijklmno"), ToolError) << "16 characters: the installer would cut it";
    EXPECT_THROW(ExtensionField("x.a*b"), ToolError);
    EXPECT_THROW(ExtensionField("x.\xC3\xA4"), ToolError);
    // ". " would end the name in a dot once the blank is dropped: FILE0000. is FILE0000 on Windows.
    EXPECT_THROW(ExtensionField("movie. "), ToolError);
    EXPECT_THROW(ExtensionField("movie. .  "), ToolError);
}

TEST(SspackNames, DestinationsFollowTheEntrysIndex)
{
    struct Case {
        size_t index;
        const char *extension;  // 16 bytes
        const char *destination;
    };
    const Case cases[] = {
        {0, ".EXE            ", "Windows\\Sample.scr"},
        {1, ".TXT            ", "DataFolder\\Sample.dat"},
        {2, ".BIN            ", "DataFolder\\UNINSTAL.EXE"},
        {3, ".SWF            ", "DataFolder\\FILE0000.SWF"},
        {12, ".JPG            ", "DataFolder\\FILE0009.JPG"},
        {10003, ".A              ", "DataFolder\\FILE10000.A"},
        {4, "                ", "DataFolder\\FILE0001"},
        {5, ".AB\0CD          ", "DataFolder\\FILE0002.AB"},
        {6, ".ABCDEFGHIJKLMNO", "DataFolder\\FILE0003.ABCDEFGHIJKLMN"},
        {7, ".A B            ", "DataFolder\\FILE0004.A B"},
    };
    for (const Case &c : cases) EXPECT_EQ(DestinationName(c.index, "Sample", c.extension), c.destination) << c.index;
    EXPECT_EQ(EntryRole(0), "screen saver");
    EXPECT_EQ(EntryRole(2), "uninstaller");
    EXPECT_EQ(EntryRole(9), "further file");
}

TEST(SspackNames, TitleIsWrittenInWindows1252)
{
    struct Case {
        const char *utf8;
        const char *ansi;  // null: refused
    };
    const Case cases[] = {
        {"Gr\xC3\xBC\xC3\x9F" "e", "Gr\xFC\xDF" "e"},
        {"\xE2\x82\xAC 5", "\x80 5"},
        {"\xC5\xBD", "\x8E"},
        {"\xE2\x98\x83", nullptr},          // no such character in Windows-1252
        {"\xC3", nullptr},                  // cut sequence
        {"\xC0\xAF", nullptr},              // overlong '/'
        {"\xFF", nullptr},
    };
    for (const Case &c : cases) {
        std::string ansi;
        bool ok = Utf8ToCp1252(c.utf8, &ansi);
        EXPECT_EQ(ok, c.ansi != nullptr) << c.utf8;
        if (ok && c.ansi) {
            EXPECT_EQ(ansi, c.ansi);
            EXPECT_EQ(Cp1252ToUtf8(ansi), c.utf8);
        }
    }
}

TEST(SspackNames, TitleProblems)
{
    EXPECT_EQ(TitleProblem("Sample"), "");
    EXPECT_EQ(TitleProblem("Sample   "), "");
    EXPECT_EQ(TitleProblem(std::string(259, 'a')), "");
    EXPECT_EQ(TitleProblem("Console"), "") << "only the device names themselves are reserved";
    EXPECT_EQ(TitleProblem("COM10"), "");
    EXPECT_NE(TitleProblem("Aux  "), "");
    EXPECT_NE(TitleProblem("nul.backup"), "");
    EXPECT_NE(TitleProblem(std::string("a\0b", 3)), "");
    EXPECT_EQ(TitleProblem("a\x7F"), "the title holds U+007F, not allowed in file names")
        << "INSTALL.LOG holds no line with a control byte";
    EXPECT_NE(TitleProblem("100%").find("holds a %"), std::string::npos);
    EXPECT_NE(TitleProblem("SOMELO~1").find("short (8.3) name"), std::string::npos);
    EXPECT_EQ(TitleProblem("Some Long Saver~1"), "");
}

TEST(SspackNames, ReportsShowControlBytesEscaped)
{
    EXPECT_EQ(PrintableText("a\x1B[31m\x7F\x0A"), "a\\x1B[31m\\x7F\\x0A");
    EXPECT_EQ(PrintableText("Gr\xFC\xDF" "e"), "Gr\xC3\xBC\xC3\x9F" "e");
}
