// The install walk over fixture installers: byte-exact copies, the log, the pump points, the
// cancel rule, and the fatal stops for destinations that are not written whole.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <vector>
#include "core/host_hooks.h"
#include "core/state.h"
#include "core/text.h"
#include "install/walk.h"
#include "tests/support/files.h"
#include "tests/support/fixture_installer.h"

namespace {

struct Record {
    std::vector<std::string> log;
    std::vector<std::string> uninstallCalls;
    bool uninstallerWholeAtRegistration = false;
    bool uncancellableAtRegistration = false;
    std::vector<std::string> extracted;
    int pumps = 0;
    int cancelAtPump = 0;  // 0 = never
    int killAtPump = 0;    // the process ends there without a chance to clean up (0 = never)
    std::string logFile;   // also written to a file, for the death tests
    bool loggedBeforeExtraction = false;
    std::vector<bool> toldLogged;  // what each extraction was told of its log line
    bool logFull = false;  // the log takes no line (the disk it lives on is full)
    bool extractedFromTheWalksHandle = false;
} Seen;

const uint32_t FailingExpandedSize = 999;     // the extraction hook reports a destination it could not create
const uint32_t UnreadableExpandedSize = 998;  // ... or its own file that it could not open

int LogHook(const char *destination)
{
    if (Seen.logFull) return 0;
    Seen.log.push_back(destination);
    if (Seen.logFile.empty()) return 1;
    FILE *f = fopen(Seen.logFile.c_str(), "ab");
    if (!f) return 0;
    fprintf(f, "%s\r\n", destination);
    fclose(f);
    return 1;
}

void UninstallHook(const char *path)
{
    Seen.uninstallCalls.push_back(path);
    Seen.uninstallerWholeAtRegistration = ReadFileBytes<std::string>(path).size() == 32768;  // FourEntries()[2]
    Seen.uncancellableAtRegistration = EntryUncancellable != 0;
}

int ExtractHook(FileHandle payload, const PayloadEntry *entry, const char *destination, int logged)
{
    Seen.extractedFromTheWalksHandle = payload == OwnFile();
    Seen.extracted.push_back(destination);
    Seen.toldLogged.push_back(logged != 0);
    Seen.loggedBeforeExtraction = !Seen.log.empty() && Seen.log.back() == destination;
    if (entry->ExpandedSize == FailingExpandedSize) return EntryWriteFailed;
    if (entry->ExpandedSize == UnreadableExpandedSize) return EntryUnreadable;
    WriteFileBytes(destination, std::string(entry->ExpandedSize, 'e'));
    return EntryWritten;
}

void PumpHook()
{
    Seen.pumps++;
    if (Seen.pumps == Seen.cancelAtPump) CancelRequested = 1;
    if (Seen.pumps == Seen.killAtPump) _exit(9);
}

const InstallHooks TestHooks = {UninstallHook, ExtractHook, LogHook};

class InstallWalk : public ::testing::Test {
protected:
    std::string dir, data, installer;
    char chunk[ChunkSize];

    void SetUp() override
    {
        char pattern[] = "/tmp/install_walk_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        data = dir + "/data/";
        mkdir(data.c_str(), 0755);
        installer = dir + "/installer.exe";
        Seen = Record();
        Seen.logFile = dir + "/log.txt";
        ResetHostFileHooks();
        // Held as the installer holds its own file; each test writes the file in place behind it.
        WriteFileBytes(installer, std::string());
        HostHoldOwnFile(installer.c_str());
        HostMessagePumpHook = PumpHook;
        CancelRequested = 0;
        EntryUncancellable = 0;
        LastExtraFile[0] = 0;
        CopyText(ScreenSaverTitle, sizeof ScreenSaverTitle, "Sample");
        CopyText(ScreenSaverPath, sizeof ScreenSaverPath, (dir + "/Sample.scr").c_str());
        CopyText(DataFolder, sizeof DataFolder, data.c_str());
    }
    void TearDown() override
    {
        HostHoldOwnFile(nullptr);
        HostMessagePumpHook = nullptr;
        ResetHostFileHooks();
        CancelRequested = 0;
        std::string command = "rm -rf '" + dir + "'";
        (void)system(command.c_str());
    }
    std::vector<std::string> Destinations() const
    {
        return {dir + "/Sample.scr", data + "Sample.dat", data + "UNINSTAL.EXE", data + "FILE0000.SWF"};
    }
    // The four entries of the worked example, sized like it: the first an exact multiple of 2048.
    std::vector<FixtureEntry> FourEntries() const
    {
        return {{Pattern<std::string>(225280, 1), 0, ".SCR"}, {Pattern<std::string>(11048, 2), 0, ".DAT"},
                {Pattern<std::string>(32768, 3), 0, ".EXE"}, {Pattern<std::string>(80089, 4), 0, ".SWF"}};
    }
};

TEST_F(InstallWalk, EveryEntryByteIdenticalAndLoggedInTableOrder)
{
    std::vector<FixtureEntry> entries = FourEntries();
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", entries));
    ASSERT_EQ(InstallEntries(&TestHooks, chunk), 1);
    std::vector<std::string> expected = Destinations();
    for (size_t i = 0; i < entries.size(); i++) {
        std::string written = ReadFileBytes<std::string>(expected[i]);
        EXPECT_EQ(written.size(), entries[i].data.size()) << expected[i];
        EXPECT_TRUE(written == entries[i].data) << expected[i];  // the last one ends at the end of the file
    }
    EXPECT_EQ(Seen.log, expected);
    EXPECT_EQ(Seen.uninstallCalls, std::vector<std::string>{data + "UNINSTAL.EXE"});
    EXPECT_TRUE(Seen.uninstallerWholeAtRegistration);  // never an entry naming a part
    EXPECT_TRUE(Seen.uncancellableAtRegistration);
    EXPECT_STREQ(LastExtraFile, (data + "FILE0000.SWF").c_str());
}

TEST_F(InstallWalk, PumpsAfterTheFirstChunkAndEvery102400Bytes)
{
    struct Case { uint32_t size; int pumps; };
    // 225,280 bytes pump after chunks 1, 51 and 101; a one-byte entry after its only chunk.
    for (Case c : {Case{225280, 3}, Case{1, 1}, Case{2048, 1}, Case{102400, 1}, Case{102401, 2}, Case{204801, 3}}) {
        WriteFileBytes(installer, BuildFixtureInstaller("Sample", {{Pattern<std::string>(c.size, 5), 0, ".SCR"}}));
        Seen.pumps = 0;
        ASSERT_EQ(InstallEntries(&TestHooks, chunk), 1);
        EXPECT_EQ(Seen.pumps, c.pumps) << c.size;
        EXPECT_EQ(ReadFileBytes<std::string>(dir + "/Sample.scr").size(), c.size);
    }
}

TEST_F(InstallWalk, CancelDuringTheScreenSaverLeavesTheUninstallerWhole)
{
    std::vector<FixtureEntry> entries = FourEntries();
    entries.push_back({Pattern<std::string>(5000, 6), 0, ".TXT"});
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", entries));
    Seen.cancelAtPump = 2;  // confirmed at entry 0's second pump point (after 51 chunks)
    ASSERT_EQ(InstallEntries(&TestHooks, chunk), 1);

    std::vector<std::string> destinations = Destinations();
    destinations.push_back(data + "FILE0001.TXT");
    EXPECT_EQ(ReadFileBytes<std::string>(destinations[0]).size(), 51u * ChunkSize);
    EXPECT_EQ(ReadFileBytes<std::string>(destinations[1]), entries[1].data.substr(0, ChunkSize));
    EXPECT_TRUE(ReadFileBytes<std::string>(destinations[2]) == entries[2].data);
    EXPECT_EQ(ReadFileBytes<std::string>(destinations[3]), entries[3].data.substr(0, ChunkSize));
    EXPECT_EQ(ReadFileBytes<std::string>(destinations[4]), entries[4].data.substr(0, ChunkSize));
    EXPECT_EQ(Seen.log, destinations);
    EXPECT_EQ(Seen.uninstallCalls.size(), 1u);
    EXPECT_STREQ(LastExtraFile, "");
}

TEST_F(InstallWalk, CancelDuringTheUninstallerTakesEffectAtTheNextEntry)
{
    std::vector<FixtureEntry> entries = FourEntries();
    entries.push_back({Pattern<std::string>(5000, 6), 0, ".TXT"});
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", entries));
    Seen.cancelAtPump = 5;  // pumps: entry 0 three times, entry 1 once, entry 2's first
    ASSERT_EQ(InstallEntries(&TestHooks, chunk), 1);
    EXPECT_TRUE(ReadFileBytes<std::string>(data + "Sample.dat") == entries[1].data);
    EXPECT_TRUE(ReadFileBytes<std::string>(data + "UNINSTAL.EXE") == entries[2].data);
    EXPECT_EQ(ReadFileBytes<std::string>(data + "FILE0000.SWF").size(), (size_t)ChunkSize);
    EXPECT_EQ(ReadFileBytes<std::string>(data + "FILE0001.TXT").size(), (size_t)ChunkSize);
    EXPECT_STREQ(LastExtraFile, "");
}

TEST_F(InstallWalk, LastExtraFileKeepsTheLastEntryFinishedBeforeTheCancel)
{
    std::vector<FixtureEntry> entries = FourEntries();
    entries.push_back({Pattern<std::string>(300000, 6), 0, ".BIN"});
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", entries));
    Seen.cancelAtPump = 3 + 1 + 1 + 1 + 2;  // entry 4's second pump point
    ASSERT_EQ(InstallEntries(&TestHooks, chunk), 1);
    EXPECT_STREQ(LastExtraFile, (data + "FILE0000.SWF").c_str());
    EXPECT_EQ(ReadFileBytes<std::string>(data + "FILE0001.BIN").size(), 51u * ChunkSize);
}

TEST_F(InstallWalk, CompressedEntriesGoToTheExtractionAndTheWalkResumes)
{
    std::vector<FixtureEntry> entries = FourEntries();
    entries[1] = {"packed", 12345, ".DAT"};
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", entries));
    ASSERT_EQ(InstallEntries(&TestHooks, chunk), 1);
    EXPECT_EQ(Seen.extracted, std::vector<std::string>{data + "Sample.dat"});
    EXPECT_EQ(ReadFileBytes<std::string>(data + "Sample.dat"), std::string(12345, 'e'));
    EXPECT_TRUE(ReadFileBytes<std::string>(data + "UNINSTAL.EXE") == entries[2].data);
    EXPECT_EQ(Seen.log, Destinations());
    EXPECT_TRUE(Seen.loggedBeforeExtraction);  // the extraction may end the process on a short write
    EXPECT_TRUE(Seen.extractedFromTheWalksHandle);

    // A log that takes no line: the extraction is told, so it removes what a stop would cut.
    Seen.logFull = true;
    ASSERT_EQ(InstallEntries(&TestHooks, chunk), 1);
    EXPECT_EQ(Seen.toldLogged, (std::vector<bool>{true, false}));
}

TEST_F(InstallWalk, CompressedDestinationThatFailsIsLoggedThenStops)
{
    std::vector<FixtureEntry> entries = FourEntries();
    entries[3] = {"packed", FailingExpandedSize, ".SWF"};
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", entries));
    EXPECT_EXIT(InstallEntries(&TestHooks, chunk), ::testing::ExitedWithCode(1), "FILE0000.SWF konnte nicht");
    std::vector<std::string> lines = Destinations();
    std::string expected;
    for (const std::string &line : lines) expected += line + "\r\n";
    EXPECT_EQ(ReadFileBytes<std::string>(Seen.logFile), expected);

    // The installer's own file failing the extraction is a read failure, not the destination's.
    entries[3] = {"packed", UnreadableExpandedSize, ".SWF"};
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", entries));
    EXPECT_EXIT(InstallEntries(&TestHooks, chunk), ::testing::ExitedWithCode(1),
                "Die Installationsdatei konnte nicht gelesen werden");
}

TEST_F(InstallWalk, TableEndsOnlyAtItsTerminatorOrAsDamaged)
{
    // No entries at all: the first record is the terminator.
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", {}));
    EXPECT_EQ(InstallEntries(&TestHooks, chunk), 1);
    EXPECT_TRUE(Seen.log.empty());

    // Fewer than three entries never reach the uninstaller's registration.
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", {{"x", 0, ".SCR"}, {"y", 0, ".DAT"}}));
    EXPECT_EQ(InstallEntries(&TestHooks, chunk), 1);
    EXPECT_TRUE(Seen.uninstallCalls.empty());

    // The file ends inside the second record: the first entry (whose data lie in the header) is
    // written once, then the walk reports damage instead of repeating it.
    std::string file = BuildFixtureInstaller("Sample", {{"abc", 0, ".SCR"}, {"def", 0, ".DAT"}}, false);
    size_t table = file.size() - 6 - 2 * PayloadEntrySize;
    PutU32((uint8_t *)&file[table], 0);  // DataOffset 0: the "MZ" header's first bytes
    file.resize(table + PayloadEntrySize + 10);
    WriteFileBytes(installer, file);
    Seen.log.clear();
    EXPECT_EQ(InstallEntries(&TestHooks, chunk), 0);
    EXPECT_EQ(Seen.log, std::vector<std::string>{dir + "/Sample.scr"});
    EXPECT_EQ(ReadFileBytes<std::string>(dir + "/Sample.scr"), std::string("MZ\0", 3));

    HostHoldOwnFile(nullptr);  // the own file could not be held
    Seen.log.clear();
    EXPECT_EQ(InstallEntries(&TestHooks, chunk), 0);
    EXPECT_TRUE(Seen.log.empty());
}

TEST_F(InstallWalk, InstallsTheHeldFileWhateverNowLiesAtItsPath)
{
    // The file renamed away and another put at its path once the installer holds it (as a user who
    // may rename in the download folder would, while the information message waits): every entry
    // still comes from the file the installer holds, the one its pre-check judged.
    std::vector<FixtureEntry> entries = FourEntries();
    entries[1] = {"packed", 12345, ".DAT"};
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", entries));
    ASSERT_EQ(rename(installer.c_str(), (dir + "/renamed.exe").c_str()), 0);
    std::vector<FixtureEntry> other = FourEntries();
    for (FixtureEntry &e : other) e.data = Pattern<std::string>(e.data.size(), 9);
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", other));

    ASSERT_EQ(InstallEntries(&TestHooks, chunk), 1);
    std::vector<std::string> destinations = Destinations();
    for (size_t i : {0, 2, 3}) EXPECT_TRUE(ReadFileBytes<std::string>(destinations[i]) == entries[i].data) << i;
    EXPECT_TRUE(Seen.extractedFromTheWalksHandle);
}

TEST_F(InstallWalk, ShortWriteIsLoggedThenStopsTheInstallation)
{
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", FourEntries()));
    std::string expected = "Die Datei " + data + "Sample.dat konnte nicht vollst";
    EXPECT_EXIT(
        {
            HostFiles.writeBudget = 225280 + 5000;  // the disk fills up inside entry 1
            InstallEntries(&TestHooks, chunk);
        },
        ::testing::ExitedWithCode(1), expected);
    EXPECT_EQ(ReadFileBytes<std::string>(Seen.logFile), dir + "/Sample.scr\r\n" + data + "Sample.dat\r\n");
}

TEST_F(InstallWalk, ShortWriteWithoutItsLogLineRemovesTheCutFile)
{
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", FourEntries()));
    EXPECT_EXIT(
        {
            HostFiles.writeBudget = 1000;  // the disk is full inside the first chunk, the log as well
            Seen.logFull = true;
            InstallEntries(&TestHooks, chunk);
        },
        ::testing::ExitedWithCode(1), "Sample.scr konnte nicht");
    EXPECT_NE(access((dir + "/Sample.scr").c_str(), F_OK), 0);

    // With its line in the log the cut file stays, for the uninstaller to find.
    EXPECT_EXIT(
        {
            HostFiles.writeBudget = 1000;
            InstallEntries(&TestHooks, chunk);
        },
        ::testing::ExitedWithCode(1), "Sample.scr konnte nicht");
    EXPECT_EQ(ReadFileBytes<std::string>(dir + "/Sample.scr").size(), 1000u);
}

TEST_F(InstallWalk, ProcessKilledInsideAStoredEntryLeavesThePartWithItsLine)
{
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", FourEntries()));
    struct Case { int pump; size_t lines; std::string part; size_t size; };
    // Entry 0 pumps three times, entries 1 and 2 once, entry 3 (behind the uninstaller) once.
    for (Case c : {Case{2, 1, dir + "/Sample.scr", 51u * ChunkSize}, Case{6, 4, data + "FILE0000.SWF", ChunkSize}}) {
        unlink(Seen.logFile.c_str());
        EXPECT_EXIT(
            {
                Seen.killAtPump = c.pump;
                InstallEntries(&TestHooks, chunk);
            },
            ::testing::ExitedWithCode(9), "");
        std::string expected;
        for (size_t i = 0; i < c.lines; i++) expected += Destinations()[i] + "\r\n";
        EXPECT_EQ(ReadFileBytes<std::string>(Seen.logFile), expected) << c.part;  // the part is named
        EXPECT_EQ(ReadFileBytes<std::string>(c.part).size(), c.size);
    }
}

TEST_F(InstallWalk, DestinationThatCannotBeCreatedStopsTheInstallation)
{
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", FourEntries()));
    CopyText(DataFolder, sizeof DataFolder, (dir + "/missing/").c_str());
    EXPECT_EXIT(InstallEntries(&TestHooks, chunk), ::testing::ExitedWithCode(1), "missing/Sample.dat");
    EXPECT_EQ(ReadFileBytes<std::string>(Seen.logFile), dir + "/Sample.scr\r\n" + dir + "/missing/Sample.dat\r\n");
}

TEST_F(InstallWalk, EntryDataBeyondTheEndOfTheFileStopsTheInstallation)
{
    std::string file = BuildFixtureInstaller("Sample", FourEntries());
    file.resize(file.size() - 100);  // the last entry lacks its last 100 bytes
    WriteFileBytes(installer, file);
    EXPECT_EXIT(InstallEntries(&TestHooks, chunk), ::testing::ExitedWithCode(1), "nicht gelesen");
    EXPECT_EQ(ReadFileBytes<std::string>(data + "FILE0000.SWF").size(), 80089u - 100);

    // Without its log line the cut file would be found by nothing: it goes, as after a short write.
    EXPECT_EXIT(
        {
            Seen.logFull = true;
            InstallEntries(&TestHooks, chunk);
        },
        ::testing::ExitedWithCode(1), "nicht gelesen");
    EXPECT_NE(access((data + "FILE0000.SWF").c_str(), F_OK), 0);
    EXPECT_TRUE(ReadFileBytes<std::string>(data + "UNINSTAL.EXE") == FourEntries()[2].data) << "whole entries stay";
}

TEST_F(InstallWalk, DestinationTooLongForItsBufferIsNeverCut)
{
    WriteFileBytes(installer, BuildFixtureInstaller("Sample", FourEntries()));
    std::string title(259 - strlen(DataFolder) - 3, 't');  // + ".dat" is one character too many
    CopyText(ScreenSaverTitle, sizeof ScreenSaverTitle, title.c_str());
    EXPECT_EXIT(InstallEntries(&TestHooks, chunk), ::testing::ExitedWithCode(1), "Die Datei");
    EXPECT_EQ(ReadFileBytes<std::string>(Seen.logFile), dir + "/Sample.scr\r\n");  // the cut path is not logged
}

}  // namespace
