// The uninstaller's tally, its German messages and the handoff to the copy that removes it.
#include <gtest/gtest.h>
#include <string.h>
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
        int repeat;  // the log, the entry and the uninstaller stay for a second run
    } cases[] = {
        {"all removed", [](RemovalReport *r) { NoteRemoved(r); }, 1, 0},
        {"empty log", [](RemovalReport *) {}, 1, 0},
        {"log missing", [](RemovalReport *r) { r->logMissing = 1; }, 0, 1},
        {"log held by another program or not read whole", [](RemovalReport *r) { r->logUnreadable = 1; }, 0, 1},
        {"a file in use", [](RemovalReport *r) { NoteFailed(r, "C:\\x"); }, 0, 1},
        // A cut line followed by a repair's lines, or tampering: it may hide the name of a file.
        {"a malformed line", [](RemovalReport *r) { NoteSkipped(r, "C:\\WINDOWS\\..\\x"); }, 0, 1},
        // Perhaps its own file, while this run was started under another spelling of its folder.
        {"a line outside", [](RemovalReport *r) { NoteOutside(r, "C:\\WINDOWS\\system32\\x"); }, 0, 1},
        {"a damaged line", [](RemovalReport *r) { NoteDamaged(r); }, 0, 1},
        {"a cut last line", [](RemovalReport *r) { NoteCut(r, "C:\\ProgramData\\Q"); }, 0, 1},
        {"a cut line of nothing", [](RemovalReport *r) { NoteCut(r, ""); }, 0, 1},
        // Found after the decision: the run stops there, keeping the rest.
        {"log left", [](RemovalReport *r) { r->logLeft = 1; }, 0, 0},
        {"registration left", [](RemovalReport *r) { r->registrationLeft = 1; }, 0, 0},
        {"uninstaller scheduled", [](RemovalReport *r) { r->uninstallerScheduled = 1; }, 1, 0},
        {"uninstaller left", [](RemovalReport *r) { strcpy(r->uninstallerLeft, "C:\\u"); }, 0, 0},
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
    // Said once, at the end.
    const std::string kept = "\nDas Installationsprotokoll, der Eintrag in der Systemsteuerung und das "
                             "Deinstallationsprogramm bleiben erhalten, damit die Deinstallation \xFC" "ber die "
                             "Systemsteuerung wiederholt werden kann.\n";
    EXPECT_EQ(message.size() - kept.size(), message.find(kept)) << message;
}

// Each end that keeps or leaves something, whole: what stays and what can be done.
TEST(UninstallReport, EveryEndSaysWhatStays)
{
    const std::string head = "Der Bildschirmschoner Sample konnte nicht vollst\xE4ndig entfernt werden.\n";
    const std::string repeat = " bleiben erhalten, damit die Deinstallation \xFC" "ber die Systemsteuerung wiederholt "
                               "werden kann.\n";
    const std::string kept = "\nDas Installationsprotokoll, der Eintrag in der Systemsteuerung und das "
                             "Deinstallationsprogramm" + repeat;
    struct Case {
        const char *name;
        void (*change)(RemovalReport *);
        std::string message;
    } cases[] = {
        {"log missing", [](RemovalReport *r) { r->logMissing = 1; },
         head + "\nDas Installationsprotokoll INSTALL.LOG fehlt; es wurden keine Dateien gel\xF6scht.\n"
                "\nDer Eintrag in der Systemsteuerung und das Deinstallationsprogramm" + repeat},
        {"log held", [](RemovalReport *r) { r->logUnreadable = 1; },
         head + "\nDas Installationsprotokoll INSTALL.LOG konnte nicht ganz gelesen werden, vielleicht weil ein "
                "anderes Programm es verwendet; es wurden keine Dateien gel\xF6scht.\n" + kept},
        {"cut line", [](RemovalReport *r) { NoteCut(r, "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\FILE00"); },
         head + "\nDie letzte Zeile des Installationsprotokolls ist unvollst\xE4ndig und nennt keine vorhandene "
                "Datei:\nC:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\FILE00\n" + kept},
        {"log left", [](RemovalReport *r) { r->logLeft = 1; },
         head + "\nDas Installationsprotokoll INSTALL.LOG konnte nicht gel\xF6scht werden.\n" + kept},
        {"entry left", [](RemovalReport *r) { r->registrationLeft = 1; },
         head + "\nDer Eintrag in der Systemsteuerung konnte nicht entfernt werden.\n" + kept},
        // The entry and the log are gone by then: nothing is said to stay for a repeat.
        {"uninstaller left", [](RemovalReport *r) { strcpy(r->uninstallerLeft, "C:\\D\\UNINSTAL.EXE"); },
         head + "\nDas Deinstallationsprogramm konnte nicht gel\xF6scht werden:\nC:\\D\\UNINSTAL.EXE\n"},
        {"uninstaller scheduled", [](RemovalReport *r) { r->uninstallerScheduled = 1; },
         "Der Bildschirmschoner Sample wurde vollst\xE4ndig entfernt.\n\nDas Deinstallationsprogramm wird beim "
         "n\xE4" "chsten Start von Windows gel\xF6scht.\n"},
        {"scheduled, another's entry",
         [](RemovalReport *r) {
             r->uninstallerScheduled = 1;
             r->registrationForeign = 1;
         },
         "Der Bildschirmschoner Sample wurde vollst\xE4ndig entfernt.\n\nDer Eintrag in der Systemsteuerung geh\xF6rt "
         "zu einem anderen Programm und wurde nicht ver\xE4ndert.\n\nDas Deinstallationsprogramm wird beim "
         "n\xE4" "chsten Start von Windows gel\xF6scht.\n"},
    };
    for (const Case &c : cases) {
        RemovalReport report;
        ResetReport(&report);
        c.change(&report);
        char text[4096];
        EXPECT_EQ(ComposeResultMessage(&report, "Sample", text, sizeof text), 1) << c.name;
        EXPECT_EQ(text, c.message) << c.name;
    }
    char text[512];
    const char *path = "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE";
    ASSERT_EQ(ComposeLateRemovalMessage(path, 1, text, sizeof text), 1);
    EXPECT_STREQ(text, "Das Deinstallationsprogramm C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE "
                       "konnte noch nicht gel\xF6scht werden. Windows l\xF6scht es beim n\xE4" "chsten Start.");
    ASSERT_EQ(ComposeLateRemovalMessage(path, 0, text, sizeof text), 1);
    EXPECT_STREQ(text, "Das Deinstallationsprogramm C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE "
                       "konnte nicht gel\xF6scht werden.");
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
    int silent = -1;
    ASSERT_EQ(FormatHandoff(text, sizeof text, 0x1A4, 0, path), 1);
    EXPECT_STREQ(text, "1a4 C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE");
    ASSERT_EQ(ParseHandoff(text, &handle, &silent, parsed, sizeof parsed), 1);
    EXPECT_EQ(handle, 0x1A4u);
    EXPECT_EQ(silent, 0);
    EXPECT_STREQ(parsed, path);
    ASSERT_EQ(FormatHandoff(text, sizeof text, 0x2C, 1, path), 1);
    EXPECT_STREQ(text, "2c /s C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE");
    ASSERT_EQ(ParseHandoff(text, &handle, &silent, parsed, sizeof parsed), 1);
    EXPECT_EQ(handle, 0x2Cu);
    EXPECT_EQ(silent, 1);
    EXPECT_STREQ(parsed, path);

    const char *refused[] = {
        "",
        "1a4",
        "1a4 ",
        "1a4 /s ",
        "/s 1a4 C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE",
        "0 C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE",
        "zz C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE",
        "11112222333344445 C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE",
        "1a4 C:\\WINDOWS\\system32\\UNINSTAL.EXE",
        "1a4 C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\Sample.dat",
        "1a4 C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\..\\UNINSTAL.EXE",
        "1a4 \\\\server\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE",
        "1a4 /x C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE",
    };
    for (const char *t : refused) EXPECT_EQ(ParseHandoff(t, &handle, &silent, parsed, sizeof parsed), 0) << t;
    EXPECT_EQ(ParseHandoff(text, &handle, &silent, parsed, 20), 0);
}

// The copy's place: only there does a handoff count, and nothing else is one.
TEST(UninstallHandoff, PrivateFolderOfTheCopy)
{
    const char *temp = "C:\\Users\\Anna\\AppData\\Local\\Temp\\";
    const unsigned char random[PrivateRandomSize] = {0x00, 0x1f, 0xa0, 0xff, 0x12, 0x34, 0x56, 0x78};
    char folder[260];
    ASSERT_EQ(ComposePrivateFolder(temp, random, folder, sizeof folder), 1);
    EXPECT_STREQ(folder, "C:\\Users\\Anna\\AppData\\Local\\Temp\\UNINSTAL-001fa0ff12345678\\");
    std::string copy = std::string(folder) + "UNINSTAL.EXE";
    EXPECT_EQ(ComposePrivateFolder(temp, random, folder, strlen(temp) + 26), 0);  // one short
    EXPECT_EQ(ComposePrivateFolder("C:\\Temp", random, folder, sizeof folder), 0);

    EXPECT_EQ(IsPrivateCopyPath(copy.c_str(), temp), 1);
    EXPECT_EQ(IsPrivateCopyPath("c:\\users\\anna\\appdata\\local\\temp\\uninstal-001FA0FF12345678\\uninstal.exe", temp),
              1);
    const char *others[] = {
        "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\UNINSTAL.EXE",  // the original
        "C:\\Users\\Anna\\AppData\\Local\\Temp\\UNINSTAL.EXE",
        "C:\\Users\\Anna\\AppData\\Local\\Temp\\UNINSTAL-0000048C.EXE",  // the old copy's name
        "C:\\Users\\Anna\\AppData\\Local\\Temp\\UNINSTAL-001fa0ff1234567\\UNINSTAL.EXE",
        "C:\\Users\\Anna\\AppData\\Local\\Temp\\UNINSTAL-001fa0ff123456789\\UNINSTAL.EXE",
        "C:\\Users\\Anna\\AppData\\Local\\Temp\\UNINSTAL-001fa0ff1234567g\\UNINSTAL.EXE",
        "C:\\Users\\Anna\\AppData\\Local\\Temp\\UNINSTAL-001fa0ff12345678\\other.exe",
        "C:\\Users\\Anna\\AppData\\Local\\Temp\\UNINSTAL-001fa0ff12345678\\x\\UNINSTAL.EXE",
        "C:\\Users\\Anna\\AppData\\Local\\Temp\\x\\UNINSTAL-001fa0ff12345678\\UNINSTAL.EXE",
        "C:\\Users\\Anna\\AppData\\Local\\Temp\\UNINSTAL-001fa0ff12345678\\..\\UNINSTAL.EXE",
        "D:\\Users\\Anna\\AppData\\Local\\Temp\\UNINSTAL-001fa0ff12345678\\UNINSTAL.EXE",
    };
    for (const char *path : others) EXPECT_EQ(IsPrivateCopyPath(path, temp), 0) << path;
    EXPECT_EQ(IsPrivateCopyPath(copy.c_str(), "C:\\Users\\Anna\\AppData\\Local\\Temp"), 0);
}

TEST(UninstallHandoff, PrivateFolderSecurityIsTheUsersAndTheAdministratorsAlone)
{
    char text[400];
    ASSERT_EQ(ComposePrivateFolderSecurity("S-1-5-21-1004336348-1177238915-682003330-1001", text, sizeof text), 1);
    EXPECT_STREQ(text, "D:P(A;OICI;FA;;;S-1-5-21-1004336348-1177238915-682003330-1001)(A;OICI;FA;;;BA)"
                       "S:(ML;OICI;NW;;;HI)");
    // Anything but one SID would add entries of its own to the descriptor.
    const char *refused[] = {"", "BA", "S-1-", "S-1-5-", "S-1-5--18", "S-1-5-18)(A;;FA;;;WD", "S-1-5-18 ",
                             "s-1-5-18", "S-1-5-x"};
    for (const char *sid : refused) {
        EXPECT_EQ(ComposePrivateFolderSecurity(sid, text, sizeof text), 0) << sid;
        EXPECT_STREQ(text, "") << sid;
    }
    EXPECT_EQ(ComposePrivateFolderSecurity("S-1-5-18", text, 40), 0);
}

}  // namespace
