// The uninstaller's tally, its German messages and the handoff to the copy that removes it.
#include <gtest/gtest.h>
#include <string>
#include "uninstall/handoff.h"
#include "uninstall/report.h"

namespace {

TEST(UninstallReport, CompleteOnlyWhenNothingListedStays)
{
    struct Case {
        const char *name;
        void (*change)(RemovalReport *);
        int complete;
        int repeat;
    } cases[] = {
        {"all removed", [](RemovalReport *r) { NoteRemoved(r); }, 1, 0},
        {"empty log", [](RemovalReport *) {}, 1, 0},
        {"log missing", [](RemovalReport *r) { r->logMissing = 1; }, 0, 0},
        {"a file in use", [](RemovalReport *r) { NoteFailed(r, "C:\\x"); }, 0, 1},
        {"a malformed line", [](RemovalReport *r) { NoteSkipped(r, "C:\\WINDOWS\\..\\x"); }, 0, 0},
        // Perhaps its own file, while this run was started under another spelling of its folder.
        {"a line outside", [](RemovalReport *r) { NoteOutside(r, "C:\\WINDOWS\\system32\\x"); }, 0, 1},
        {"a damaged line", [](RemovalReport *r) { NoteDamaged(r); }, 0, 0},
        {"registration left", [](RemovalReport *r) { r->registrationLeft = 1; }, 0, 0},
    };
    for (const Case &c : cases) {
        RemovalReport report;
        ResetReport(&report);
        c.change(&report);
        EXPECT_EQ(RemovalComplete(&report), c.complete) << c.name;
        EXPECT_EQ(RemovalMustBeRepeated(&report), c.repeat) << c.name;
    }
}

TEST(UninstallReport, MessagesNameTheTitleAndEveryProblem)
{
    char text[4096];
    RemovalReport report;
    ResetReport(&report);
    ASSERT_EQ(ComposeQuestion("Sample", text, sizeof text), 1);
    EXPECT_STREQ(text, "M\xF6" "chten Sie den Bildschirmschoner Sample und alle zugeh\xF6rigen Dateien entfernen?");
    ASSERT_EQ(ComposeResultMessage(&report, "Sample", text, sizeof text), 1);
    EXPECT_STREQ(text, "Der Bildschirmschoner Sample wurde vollst\xE4ndig entfernt.");

    NoteFailed(&report, "C:\\WINDOWS\\Sample.scr");
    NoteSkipped(&report, "C:\\WINDOWS\\system32\\x.dll");
    NoteDamaged(&report);
    NoteDamaged(&report);
    ASSERT_EQ(ComposeResultMessage(&report, "Sample", text, sizeof text), 1);
    std::string message = text;
    EXPECT_EQ(message.find("Der Bildschirmschoner Sample konnte nicht vollst\xE4ndig entfernt werden."), 0u);
    EXPECT_NE(message.find("nicht gel\xF6scht werden:\nC:\\WINDOWS\\Sample.scr\n"), std::string::npos);
    EXPECT_NE(message.find("nicht gel\xF6scht:\nC:\\WINDOWS\\system32\\x.dll\n"), std::string::npos);
    EXPECT_NE(message.find("\n2 besch\xE4" "digte Zeilen"), std::string::npos);
    const std::string kept = "Das Installationsprotokoll und das Deinstallationsprogramm bleiben erhalten";
    EXPECT_EQ(message.find(kept), std::string::npos) << "a malformed line is no file of its own anywhere";
    NoteOutside(&report, "Y:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\Sample.dat");
    ASSERT_EQ(ComposeResultMessage(&report, "Sample", text, sizeof text), 1);
    EXPECT_NE(std::string(text).find("Sample.dat\n" + kept + ", damit die Deinstallation \xFC" "ber die "
                                     "Systemsteuerung wiederholt werden kann.\n"), std::string::npos) << text;
}

TEST(UninstallReport, LongListsAreCutAtWholePathsAndCounted)
{
    RemovalReport report;
    ResetReport(&report);
    std::string path = "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\" + std::string(150, 'x');
    for (int i = 0; i < 20; i++) NoteFailed(&report, path.c_str());
    EXPECT_EQ(report.failed, 20u);
    ASSERT_GT(report.failedListed, 0u);
    ASSERT_LT(report.failedListed, 20u);
    // Every listed line is a whole path.
    std::string list = report.failedList;
    EXPECT_EQ(list.size(), report.failedListed * (path.size() + 1));
    char text[4096];
    ComposeResultMessage(&report, "Sample", text, sizeof text);
    char more[64];
    snprintf(more, sizeof more, "... und %u weitere\n", 20 - report.failedListed);
    EXPECT_NE(std::string(text).find(more), std::string::npos);
    // A message buffer that is too small is cut and says so, still terminated.
    char small[40];
    EXPECT_EQ(ComposeResultMessage(&report, "Sample", small, sizeof small), 0);
    EXPECT_EQ(strlen(small), sizeof small - 1);
}

TEST(UninstallHandoff, RoundTripAndRefusals)
{
    const char *path = "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE";
    char text[HandoffSize], parsed[260];
    uint64_t handle = 0;
    ASSERT_EQ(FormatHandoff(text, sizeof text, 0x1A4, path), 1);
    EXPECT_STREQ(text, "1a4 C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE");
    ASSERT_EQ(ParseHandoff(text, &handle, parsed, sizeof parsed), 1);
    EXPECT_EQ(handle, 0x1A4u);
    EXPECT_STREQ(parsed, path);

    const char *refused[] = {
        "",
        "1a4",
        "1a4 ",
        "0 C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE",
        "zz C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE",
        "11112222333344445 C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE",
        "1a4 C:\\WINDOWS\\system32\\UNINSTAL.EXE",
        "1a4 C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\Sample.dat",
        "1a4 C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\..\\UNINSTAL.EXE",
        "1a4 \\\\server\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE",
    };
    for (const char *t : refused) EXPECT_EQ(ParseHandoff(t, &handle, parsed, sizeof parsed), 0) << t;
    EXPECT_EQ(ParseHandoff(text, &handle, parsed, 20), 0);
}

}  // namespace
