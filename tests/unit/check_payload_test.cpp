// The installer's pre-check: every file the authoring tool builds passes it unchanged; a file cut
// short, a changed byte under the integrity record, an unusable title, an impossible size and
// destinations over the path limit are refused, each for its own reason; the check writes nothing.
#include <gtest/gtest.h>

#include <string>

#include "core/host_hooks.h"
#include "core/state.h"
#include "core/text.h"
#include "install_fixture.h"
#include "payload/check_payload.h"
#include "payload/crc32.h"
#include "sspack_fixture.h"

using namespace packtest;

namespace {

const char *const Windows = "C:\\WINDOWS";
const char *const AppData = "C:\\Documents and Settings\\All Users\\Application Data";

class PayloadCheck : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override { ResetHostFileHooks(); }
    void TearDown() override { ResetHostFileHooks(); }
    PayloadFault Inspect(const Bytes &file, const char *windows = Windows, const char *appData = AppData)
    {
        std::string path = dir_.Write("setup.exe", file);
        return InspectPayload(path.c_str(), 0, windows, appData);
    }
    BuildResult Build(bool integrity, const std::string &licence = "", const std::string &title = "Polar Lights")
    {
        BuildRequest request = Request(GetParam(), title, FourFiles(), licence);
        request.integrityRecord = integrity;
        return BuildInstaller(request);
    }
    TempDir dir_;
};

Bytes Cut(const Bytes &file, uint64_t size) { return Bytes(file.begin(), file.begin() + (long)size); }

}  // namespace

TEST_P(PayloadCheck, EveryBuiltInstallerPasses)
{
    PACKTEST_NEED_STUB(GetParam(), "good");
    for (bool integrity : {true, false}) {
        for (std::string licence : {std::string(), std::string("Licence\r\nline two")}) {
            EXPECT_EQ(Inspect(Build(integrity, licence).installer), PayloadSound) << integrity << licence;
            EXPECT_EQ(Inspect(Build(integrity, licence, "Sch\xF6ne Aussicht  ").installer), PayloadSound);
        }
    }
    EXPECT_EQ(HostFiles.writes, 0u);
}

TEST_P(PayloadCheck, AFileCutInsideAnEntrysDataOrTheTableIsRefused)
{
    PACKTEST_NEED_STUB(GetParam(), "good");
    BuildResult built = Build(true);
    for (const PayloadEntry &e : built.entries) {
        EXPECT_EQ(Inspect(Cut(built.installer, e.DataOffset + e.StoredSize - 1)), PayloadDataOutside);
        EXPECT_EQ(Inspect(Cut(built.installer, e.DataOffset + e.StoredSize / 2)), PayloadDataOutside);
    }
    uint64_t table = built.blockOffset + TableOffsetWithoutLicence;
    for (size_t k = 0; k <= built.entries.size(); k++) {
        EXPECT_EQ(Inspect(Cut(built.installer, table + k * PayloadEntrySize + 11)), PayloadTableCut) << k;
    }
    EXPECT_EQ(Inspect(Cut(built.installer, built.blockOffset + 100)), PayloadTableCut);  // inside the title
}

TEST_P(PayloadCheck, AChangedByteInsideAnyEntryIsCaughtByTheIntegrityRecordOnly)
{
    PACKTEST_NEED_STUB(GetParam(), "good");
    for (bool integrity : {true, false}) {
        BuildResult built = Build(integrity);
        for (const PayloadEntry &e : built.entries) {
            for (uint32_t at : {0u, e.StoredSize / 2, e.StoredSize - 1}) {
                Bytes damaged = built.installer;
                damaged[e.DataOffset + at] ^= 0x40;
                EXPECT_EQ(Inspect(damaged), integrity ? PayloadChecksumWrong : PayloadSound) << at;
            }
        }
    }
    // The record's CRC itself, and a byte of the stub's headers.
    BuildResult built = Build(true);
    Bytes damaged = built.installer;
    damaged[built.blockOffset + built.blockSize - 1] ^= 1;
    EXPECT_EQ(Inspect(damaged), PayloadChecksumWrong);
    damaged = built.installer;
    damaged[2] ^= 1;
    EXPECT_EQ(Inspect(damaged), PayloadChecksumWrong);
}

TEST_P(PayloadCheck, TheBareStubIsRefused)
{
    PACKTEST_NEED_STUB(GetParam(), "good");
    // Behind the placeholder there is no table; without LASTRES the first resource is no block.
    for (const char *variant : {"good", "no_lastres", "big_placeholder"})
        if (HaveStub(GetParam(), variant)) {
            EXPECT_NE(Inspect(ReadWholeFile(StubPath(GetParam(), variant))), PayloadSound) << variant;
        }
    EXPECT_EQ(Inspect(Bytes(100, 0)), PayloadUnreachable);
}

TEST_P(PayloadCheck, AFileThatCannotBeReadToTheEndForItsCrcIsRefused)
{
    PACKTEST_NEED_STUB(GetParam(), "good");
    BuildResult built = Build(true);
    std::string path = dir_.Write("setup.exe", built.installer);
    HostFiles.readBudget = (int64_t)built.installer.size() / 2 + 4096;  // the table reads first, then half the CRC
    EXPECT_EQ(InspectPayload(path.c_str(), 0, Windows, AppData), PayloadChecksumWrong);
}

INSTANTIATE_TEST_SUITE_P(Stubs, PayloadCheck, ::testing::Values("win32", "win64"));

// Files the authoring tool would never write, made by hand.
class HandMadePayload : public ::testing::Test {
protected:
    void SetUp() override { ResetHostFileHooks(); }
    void TearDown() override { ResetHostFileHooks(); }
    PayloadFault Inspect(const std::string &file, const char *windows = Windows, const char *appData = AppData)
    {
        FixtureWriteFile(path_, file);
        PayloadFault fault = InspectPayload(path_.c_str(), 0, windows, appData);
        remove(path_.c_str());
        return fault;
    }
    PayloadFault InspectTitle(const std::string &title) { return Inspect(BuildFixtureInstaller(title, Four())); }
    static std::vector<FixtureEntry> Four()
    {
        return {{"scr", 0, ".SCR"}, {"dat", 0, ".DAT"}, {"exe", 0, ".EXE"}, {"FWS\x09", 0, ".SWF"}};
    }
    std::string path_ = "/tmp/check_payload_" + std::to_string(getpid()) + ".exe";
};

TEST_F(HandMadePayload, TitlesThatCannotNameAFileOrKeyAreRefused)
{
    EXPECT_EQ(InspectTitle("Sample"), PayloadSound);
    EXPECT_EQ(InspectTitle("Sample   "), PayloadSound);
    EXPECT_EQ(InspectTitle(" lead, dots. & (more)"), PayloadSound);
    EXPECT_EQ(InspectTitle(""), PayloadBadTitle);
    EXPECT_EQ(InspectTitle("    "), PayloadBadTitle);
    for (char c : std::string("\\/:*?\"<>|\t\x01\x1F"))
        EXPECT_EQ(InspectTitle(std::string("Bad") + c + "Name"), PayloadBadTitle) << (int)c;
    EXPECT_EQ(InspectTitle(std::string(259, 'x')), PayloadPathTooLong);  // usable, but too long for a path
}

TEST_F(HandMadePayload, ExpandedSizesFrom2GiBAreRefused)
{
    auto with = [](uint32_t expanded) {
        std::vector<FixtureEntry> entries = Four();
        entries[1].expandedSize = expanded;
        return BuildFixtureInstaller("Sample", entries);
    };
    EXPECT_EQ(Inspect(with(0x7FFFFFFFu)), PayloadSound);
    EXPECT_EQ(Inspect(with(0x80000000u)), PayloadSizeTooLarge);
    EXPECT_EQ(Inspect(with(0xFFFFFFFFu)), PayloadSizeTooLarge);
}

TEST_F(HandMadePayload, DataOffsetsPastTheEndAreRefusedWithoutOverflow)
{
    std::string file = BuildFixtureInstaller("Sample", Four());
    size_t first = file.find(std::string("Sample")) - LicenceLengthSize + TableOffsetWithoutLicence;
    std::string damaged = file;
    FixturePutU32(damaged, first, 0xFFFFFFF0u);  // offset + size wraps in 32 bits
    EXPECT_EQ(Inspect(damaged), PayloadDataOutside);
    damaged = file;
    FixturePutU32(damaged, first + 4, (uint32_t)file.size());
    EXPECT_EQ(Inspect(damaged), PayloadDataOutside);
}

TEST_F(HandMadePayload, EveryDestinationMustFit259Characters)
{
    // ScreenSaverPath: directory + "\" + title + ".scr".
    std::string title = "Sample";
    std::string windows(259 - 1 - title.size() - 4, 'W');
    EXPECT_EQ(Inspect(BuildFixtureInstaller(title, Four()), windows.c_str(), "C:\\D"), PayloadSound);
    windows += 'W';
    EXPECT_EQ(Inspect(BuildFixtureInstaller(title, Four()), windows.c_str(), "C:\\D"), PayloadPathTooLong);

    // With a title of more than 8 characters the data file is the longest of the data folder's:
    // folder + title + ".dat" (the uninstaller and FILE0000.SWF have 12).
    title = "Polar Lights";
    std::string folderTail = "\\Quilmark LLC\\Vistaworks\\" + title + "\\";
    std::string appData(259 - folderTail.size() - title.size() - 4, 'A');
    EXPECT_EQ(Inspect(BuildFixtureInstaller(title, Four()), Windows, appData.c_str()), PayloadSound);
    appData += 'A';
    EXPECT_EQ(Inspect(BuildFixtureInstaller(title, Four()), Windows, appData.c_str()), PayloadPathTooLong);

    // A further file with a long extension: folder + "FILE0000" + up to 15 characters.
    std::vector<FixtureEntry> entries = Four();
    entries[3].extension = ".ABCDEFGHIJKLMN";
    std::string shorter(259 - folderTail.size() - 8 - 15, 'A');
    EXPECT_EQ(Inspect(BuildFixtureInstaller(title, entries), Windows, shorter.c_str()), PayloadSound);
    shorter += 'A';
    EXPECT_EQ(Inspect(BuildFixtureInstaller(title, entries), Windows, shorter.c_str()), PayloadPathTooLong);

    // Without an application-data folder the Windows directory's All Users folder is used.
    std::string base = std::string(Windows) + "\\All Users\\Application Data";
    std::string longWindows(259 - (base.size() - strlen(Windows)) - folderTail.size() - title.size() - 4, 'W');
    EXPECT_EQ(Inspect(BuildFixtureInstaller(title, Four()), longWindows.c_str(), ""), PayloadSound);
    longWindows += 'W';
    EXPECT_EQ(Inspect(BuildFixtureInstaller(title, Four()), longWindows.c_str(), ""), PayloadPathTooLong);
}

TEST_F(HandMadePayload, TheInstallationsPathsAreLeftAsTheyWere)
{
    CopyText(ScreenSaverTitle, PathSize, "Backdrop title  ");
    CopyText(DataFolder, PathSize, "");
    CopyText(ScreenSaverPath, PathSize, "unchanged");
    EXPECT_EQ(Inspect(BuildFixtureInstaller("Sample", Four())), PayloadSound);
    EXPECT_STREQ(ScreenSaverTitle, "Backdrop title  ");
    EXPECT_STREQ(DataFolder, "");
    EXPECT_STREQ(ScreenSaverPath, "unchanged");
    EXPECT_EQ(HostFiles.writes, 0u);
}

TEST(FileCrcWithHole, MatchesTheCrcOfTheFileWithFourZeroBytesWhereverTheHoleFalls)
{
    TempDir dir;
    Bytes file = Pattern(3 * 65536 + 123, 9);
    std::string path = dir.Write("f.bin", file);
    for (uint32_t hole : {0u, 65534u, 65536u, 131070u, (uint32_t)file.size() - 4}) {
        Bytes zeroed = file;
        for (int i = 0; i < 4; i++) zeroed[hole + i] = 0;
        FileHandle f = FileOpenRead(path.c_str());
        uint32_t crc = 0;
        EXPECT_EQ(FileCrcWithHole(f, (uint32_t)file.size(), hole, &crc), 1);
        FileClose(f);
        EXPECT_EQ(crc, Crc32Update(0, zeroed.data(), zeroed.size())) << hole;
    }
}
