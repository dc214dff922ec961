// The installer's pre-check: every file the authoring tool builds passes it unchanged; a file cut
// short, a changed byte under the integrity record, an unusable title, an impossible size and
// destinations over the path limit are refused, each for its own reason; a signed installer passes
// and its certificate table must be the file's last part; the check writes nothing. Beside it the
// payload's installed total, the free-space rule of the disk-space question, and the CRC-32 with
// the bytes the integrity record covers. On every file judged here, sspack verify is held against
// the pre-check: it never calls sound what the installer refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "core/host_hooks.h"
#include "core/installer_texts.h"
#include "core/state.h"
#include "core/text.h"
#include "lzh/decoder.h"
#include "payload/check_payload.h"
#include "payload/checks.h"
#include "payload/crc32.h"
#include "payload/integrity.h"
#include "sspack/format/names.h"
#include "sspack/cli/commands.h"
#include "sspack/tool_error.h"
#include "sspack_fixture.h"
#include "tests/support/files.h"
#include "tests/support/fixture_installer.h"

using namespace packtest;

namespace {

const char *const Windows = "C:\\WINDOWS";
const char *const AppData = "C:\\Documents and Settings\\All Users\\Application Data";

// sspack verify on the same file: its first check line is the pre-check's verdict with the folders
// verify measures paths with, and what the pre-check refuses, verify never calls sound.
void ExpectVerifyHoldsToThePreCheck(const std::string &path)
{
    PayloadFault fault = InspectPayload(path.c_str(), OptionalHeaderOfMagic, TypicalWindows, TypicalApplicationData);
    std::ostringstream out;
    bool sound = false;
    try {
        sound = RunVerify(path, out);
    } catch (const ToolError &e) {
        EXPECT_NE(fault, PayloadSound) << "verify calls it no installer: " << e.what();
        return;
    }
    std::string first = out.str().substr(0, out.str().find('\n'));
    const char *expected = fault == PayloadSound ? "ok    the installer's pre-check passes the file"
                                                 : "FAIL  the installer's pre-check refuses the file";
    EXPECT_EQ(first.compare(0, strlen(expected), expected), 0) << fault << "\n" << out.str();
    if (fault != PayloadSound) {
        EXPECT_FALSE(sound) << out.str();
    }
}

class PayloadCheck : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override { ResetHostFileHooks(); }
    void TearDown() override { ResetHostFileHooks(); }
    PayloadFault Inspect(const Bytes &file, const char *windows = Windows, const char *appData = AppData)
    {
        std::string path = dir_.Write("setup.exe", file);
        ExpectVerifyHoldsToThePreCheck(path);
        return InspectPayload(path.c_str(), OptionalHeaderOfMagic, windows, appData);
    }
    BuiltInstaller Build(bool integrity, const std::string &licence = "", const std::string &title = "Polar Lights")
    {
        BuildRequest request = Request(GetParam(), title, FourFiles(), licence);
        request.integrityRecord = integrity;
        return BuildThroughFile(request);
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
    BuiltInstaller built = Build(true);
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
        BuiltInstaller built = Build(integrity);
        for (const PayloadEntry &e : built.entries) {
            for (uint32_t at : {0u, e.StoredSize / 2, e.StoredSize - 1}) {
                Bytes damaged = built.installer;
                damaged[e.DataOffset + at] ^= 0x40;
                EXPECT_EQ(Inspect(damaged), integrity ? PayloadChecksumWrong : PayloadSound) << at;
            }
        }
    }
    // The record's CRC itself, and a byte of the stub's headers.
    BuiltInstaller built = Build(true);
    Bytes damaged = built.installer;
    damaged[built.blockOffset + built.blockSize - 1] ^= 1;
    EXPECT_EQ(Inspect(damaged), PayloadChecksumWrong);
    damaged = built.installer;
    damaged[2] ^= 1;
    EXPECT_EQ(Inspect(damaged), PayloadChecksumWrong);
    // A record that cannot be found where its room is: its tag changed, or pushed aside by bytes
    // inserted into it (the data offsets then point before the data).
    size_t record = built.blockOffset + built.blockSize - IntegrityRecordSize;
    for (size_t at : {record, record + 3}) {
        damaged = built.installer;
        damaged[at] ^= 1;
        EXPECT_EQ(Inspect(damaged), PayloadRecordDamaged) << at;
        damaged = built.installer;
        damaged.insert(damaged.begin() + at, 0xAA);
        EXPECT_EQ(Inspect(damaged), PayloadRecordDamaged) << at;
    }
}

TEST_P(PayloadCheck, ASignedInstallerPassesAndAnyOtherChangeIsStillRefused)
{
    PACKTEST_NEED_STUB(GetParam(), "good");
    BuiltInstaller built = Build(true);
    EXPECT_EQ(built.installer.size() % 8, 0u) << "a signer must find nothing to pad";
    uint32_t optional = GetU32(built.installer, 0x3C) + 24;
    EXPECT_EQ(GetU32(built.installer, optional + 64), 0u) << "CheckSum none, so the record holds once signed";
    Bytes sound = SignLikeASigner(built.installer);
    ASSERT_EQ(sound.size(), built.installer.size() + 1024);
    EXPECT_EQ(Inspect(sound), PayloadSound);

    const PayloadEntry &last = built.entries.back();
    uint32_t directory = optional + (GetU16(sound, optional) == 0x20B ? 144 : 128);
    struct Case {
        const char *what;
        Bytes file;
        PayloadFault fault;
    };
    Bytes dataChanged = sound, headerChanged = sound, intoPayload = sound, pastEnd = sound, appended = sound;
    dataChanged[last.DataOffset + last.StoredSize - 1] ^= 1;
    headerChanged[optional + 60] ^= 1;  // SizeOfHeaders, beside CheckSum
    PutU32(intoPayload, directory, last.DataOffset);
    PutU32(intoPayload, directory + 4, (uint32_t)sound.size() - last.DataOffset);
    PutU32(pastEnd, directory + 4, 1024 + 8);
    appended.resize(appended.size() + 8, 0);
    Bytes grown = appended;  // a download tag behind the record, the table's size raised to match
    PutU32(grown, directory + 4, 1024 + 8);
    Bytes appendedUnsigned = built.installer;
    appendedUnsigned.resize(appendedUnsigned.size() + 8, 0);
    const Case cases[] = {
        {"a byte of an entry's data", dataChanged, PayloadChecksumWrong},
        {"a byte of the optional header", headerChanged, PayloadChecksumWrong},
        {"the table cut short", Cut(sound, sound.size() - 10), PayloadCertificateMisplaced},
        {"the directory entry naming more than there is", pastEnd, PayloadCertificateMisplaced},
        {"bytes appended behind the table", appended, PayloadCertificateMisplaced},
        {"the directory pointing into the payload", intoPayload, PayloadCertificateMisplaced},
        {"bytes appended to an unsigned installer", appendedUnsigned, PayloadChecksumWrong},
        {"the table grown, its size raised to match", grown, PayloadSound},
    };
    for (const Case &c : cases) EXPECT_EQ(Inspect(c.file), c.fault) << c.what;

    // An installer of an earlier build: the stub's CheckSum kept and counted, no padding.
    Bytes earlier = Cut(built.installer, last.DataOffset + last.StoredSize);
    PutU32(earlier, optional + 64, 0x0001659E);
    size_t crcAt = built.blockOffset + built.blockSize - 4;
    PutU32(earlier, crcAt, 0);
    PutU32(earlier, crcAt, Crc32Update(0, earlier.data(), earlier.size()));
    EXPECT_EQ(Inspect(earlier), PayloadSound);
}

TEST_P(PayloadCheck, TheBareStubIsRefused)
{
    PACKTEST_NEED_STUB(GetParam(), "good");
    // Behind the placeholder there is no table; without LASTRES the first resource is no block.
    for (const char *variant : {"good", "no_lastres", "big_placeholder"})
        if (HaveStub(GetParam(), variant)) {
            EXPECT_NE(Inspect(ReadFileBytes(StubPath(GetParam(), variant))), PayloadSound) << variant;
        }
    EXPECT_EQ(Inspect(Bytes(100, 0)), PayloadUnreachable);
}

TEST_P(PayloadCheck, AFileThatCannotBeReadToTheEndForItsCrcIsRefused)
{
    PACKTEST_NEED_STUB(GetParam(), "good");
    BuiltInstaller built = Build(true);
    std::string path = dir_.Write("setup.exe", built.installer);
    HostFiles.readBudget = (int64_t)built.installer.size() / 2 + 4096;  // the table reads first, then half the CRC
    EXPECT_EQ(InspectPayload(path.c_str(), OptionalHeaderOfMagic, Windows, AppData), PayloadChecksumWrong);
}

INSTANTIATE_TEST_SUITE_P(Stubs, PayloadCheck, ::testing::Values("win32", "win64"));

// Files the authoring tool would never write, made by hand.
class HandMadePayload : public ::testing::Test {
protected:
    void SetUp() override { ResetHostFileHooks(); }
    void TearDown() override { ResetHostFileHooks(); }
    PayloadFault Inspect(const std::string &file, const char *windows = Windows, const char *appData = AppData)
    {
        WriteFileBytes(path_, file);
        ExpectVerifyHoldsToThePreCheck(path_);
        PayloadFault fault = InspectPayload(path_.c_str(), OptionalHeaderOfMagic, windows, appData);
        remove(path_.c_str());
        return fault;
    }
    PayloadFault InspectTitle(const std::string &title) { return Inspect(BuildFixtureInstaller(title, Four())); }
    static std::vector<FixtureEntry> Four()
    {
        return {{"scr", 0, ".SCR"}, {"dat", 0, ".DAT"}, {"exe", 0, ".EXE"}, {"FWS\x09", 0, ".SWF"}};
    }
    // The installed total over the table, as the disk-space question sums it.
    int Sum(const std::string &file, uint32_t *total)
    {
        WriteFileBytes(path_, file);
        FileHandle f = OpenPayloadBlockAt(path_.c_str(), OptionalHeaderOfMagic);
        EXPECT_NE(f, FileError);
        int result = SumInstalledSizes(f, total);
        FileClose(f);
        remove(path_.c_str());
        return result;
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
    for (char c : std::string("\\/:*?\"<>|\t\x01\x1F\x7F%"))
        EXPECT_EQ(InspectTitle(std::string("Bad") + c + "Name"), PayloadBadTitle) << (int)c;
    EXPECT_EQ(InspectTitle(std::string(259, 'x')), PayloadPathTooLong);  // usable, but too long for a path
    // Windows would drop the dot from the folder but not from the key; the others name no file of
    // their own or a device.
    for (const char *title : {"Sky.", "Sky. ", ".", "..", "NUL", "com1.txt", "Aux  .dat", "LPT\xB9"})
        EXPECT_EQ(InspectTitle(title), PayloadBadTitle) << title;
    EXPECT_EQ(InspectTitle("Sky.x"), PayloadSound);
    EXPECT_EQ(InspectTitle("COM10"), PayloadSound);
    // Shaped like a short name with a ~: <Windows>\SOMELO~1.scr may be another product's saver.
    for (const char *title : {"SOMELO~1", "PROGRA~1", "sample~1", "SAMPLE~1.DAT", "PROG~8XZ", "~1"})
        EXPECT_EQ(InspectTitle(title), PayloadBadTitle) << title;
    for (const char *title : {"SOMELONG~1", "Sky~1.Blue", "A~1.B.C", "Sky ~1 Saver", "Sky_1"})
        EXPECT_EQ(InspectTitle(title), PayloadSound) << title;
}

TEST_F(HandMadePayload, ExtensionsThatCannotEndAFurtherFilesNameAreRefused)
{
    auto with = [](size_t index, const std::string &extension) {
        std::vector<FixtureEntry> entries = Four();
        entries[index].extension = extension;
        return BuildFixtureInstaller("Sample", entries);
    };
    // The field's first 15 bytes up to a zero byte, trailing blanks dropped, as the walk reads it.
    for (const char *sound : {".SWF", "", ".ABCDEFGHIJKLMN", ".A B", ". A", ".A~1", "SWF", ".A%B%"})
        EXPECT_EQ(Inspect(with(3, sound)), PayloadSound) << sound;
    EXPECT_EQ(Inspect(with(3, std::string(".AB\0:\\..\\x", 10))), PayloadSound) << "after the zero byte";
    EXPECT_EQ(Inspect(with(3, ".ABCDEFGHIJKLMN.")), PayloadSound) << "the 16th byte is never used";
    const char *refused[] = {
        ".", ". ", ". . ", ".A.", ".ABCDEFGHIJKLM.x",  // Windows drops the trailing dot: FILE0000.
        "\\..\\..\\..\\..\\ab", "/../ab", ".A..B", "..",  // out of the data folder
        ".A\r\nC:\\x", ".A\t", ".A\x7F", ".SWF:s", ".A*", ".A?", ".A\"", ".A<", ".A>", ".A|",
    };
    for (const char *extension : refused) EXPECT_EQ(Inspect(with(3, extension)), PayloadBadExtension) << extension;
    // Entries 0 to 2 are named by the title alone; their field names nothing.
    EXPECT_EQ(Inspect(with(0, ". ")), PayloadSound);
    EXPECT_EQ(Inspect(with(2, ".EXE:s")), PayloadSound);
}

TEST(PayloadRefusal, APathTooLongToOpenIsToldAsSuchNotAsDamage)
{
    char text[512];
    ASSERT_EQ(FatalKindOfFault(PayloadOwnPathTooLong), FatalOwnPathTooLong);
    ASSERT_TRUE(ComposeFatalText(FatalKindOfFault(PayloadOwnPathTooLong), nullptr, text, sizeof text));
    EXPECT_STREQ(text, "Der Pfad der Installationsdatei ist zu lang. Bitte verschieben Sie das Programm in einen "
                       "Ordner mit k\xFCrzerem Pfad und starten Sie es erneut.");
    for (PayloadFault fault :
         {PayloadUnreachable, PayloadTableCut, PayloadBadTitle, PayloadBadExtension, PayloadChecksumWrong,
          PayloadNoEntries, PayloadRecordDamaged})
        EXPECT_EQ(FatalKindOfFault(fault), FatalDamagedInstaller) << fault;
}

TEST_F(HandMadePayload, ExpandedSizesFrom2GiBAreRefused)
{
    auto with = [](uint32_t expanded) {
        std::vector<FixtureEntry> entries = Four();
        entries[1].expandedSize = expanded;
        return BuildFixtureInstaller("Sample", entries);
    };
    EXPECT_EQ(Inspect(with(MaxExpandedSize)), PayloadSound);
    EXPECT_EQ(Inspect(with(MaxExpandedSize + 1u)), PayloadSizeTooLarge);
    EXPECT_EQ(Inspect(with(0xFFFFFFFFu)), PayloadSizeTooLarge);
}

TEST_F(HandMadePayload, ATableWithoutEntriesIsRefused)
{
    // Bytes inserted before the table make its reader meet zero padding, read as the terminator:
    // nothing would be installed and success reported.
    EXPECT_EQ(Inspect(BuildFixtureInstaller("Sample", {})), PayloadNoEntries);
    EXPECT_EQ(Inspect(BuildFixtureInstaller("Sample", {Four()[0]})), PayloadSound);
}

TEST_F(HandMadePayload, DataOffsetsPastTheEndAreRefusedWithoutOverflow)
{
    std::string file = BuildFixtureInstaller("Sample", Four());
    size_t first = file.find(std::string("Sample")) - LicenceLengthSize + TableOffsetWithoutLicence;
    std::string damaged = file;
    PutU32((uint8_t *)&damaged[first], 0xFFFFFFF0u);  // offset + size wraps in 32 bits
    EXPECT_EQ(Inspect(damaged), PayloadDataOutside);
    damaged = file;
    PutU32((uint8_t *)&damaged[first + 4], (uint32_t)file.size());
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

    // With one or two entries the longest path is INSTALL.LOG's: folder + 11 characters.
    std::vector<FixtureEntry> two = {Four()[0], Four()[1]};
    title = "Sky";
    std::string skyTail = "\\Quilmark LLC\\Vistaworks\\" + title + "\\";
    std::string logBase(259 - skyTail.size() - 11, 'A');
    EXPECT_EQ(Inspect(BuildFixtureInstaller(title, two), Windows, logBase.c_str()), PayloadSound);
    logBase += 'A';
    EXPECT_EQ(Inspect(BuildFixtureInstaller(title, two), Windows, logBase.c_str()), PayloadPathTooLong);
    title = "Polar Lights";

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

TEST_F(HandMadePayload, TheInstalledTotalAddsExpandedSizesOfCompressedAndStoredSizesOfOtherEntries)
{
    uint32_t total = 99;
    EXPECT_EQ(Sum(BuildFixtureInstaller("T", {{"abcd", 0, ".SCR"}, {"xy", 5000, ".DAT"}, {"123", 0, ".EXE"}}), &total), 1);
    EXPECT_EQ(total, 4u + 5000u + 3u);
    EXPECT_EQ(Sum(BuildFixtureInstaller("T", {}), &total), 1);
    EXPECT_EQ(total, 0u);
    // The sum wraps at 2^32 as the installer's 32-bit count does.
    EXPECT_EQ(Sum(BuildFixtureInstaller("T", {{"a", 0xFFFFFFF0u, ".SCR"}, {"b", 0x20, ".DAT"}}), &total), 1);
    EXPECT_EQ(total, 0x10u);
}

TEST_F(HandMadePayload, TheInstalledTotalOfATableWithoutTerminatorIsReported)
{
    uint32_t total = 99;
    EXPECT_EQ(Sum(BuildFixtureInstaller("T", {{"x", 7, ".SCR"}}, false), &total), 0);
}

TEST(DiskSpaceSuffices, OnlyMoreFreeThanNeededGoesOnWithoutAsking)
{
    EXPECT_FALSE(DiskSpaceSuffices(5000, 6000u << 10));
    EXPECT_FALSE(DiskSpaceSuffices(6000, 6000u << 10));  // equal asks
    EXPECT_TRUE(DiskSpaceSuffices(6001, 6000u << 10));
    EXPECT_TRUE(DiskSpaceSuffices(1, 1023));   // under 1 KB needs 0 KB
    EXPECT_FALSE(DiskSpaceSuffices(0, 1023));
    EXPECT_TRUE(DiskSpaceSuffices(FreeSpaceUnknown, 0xFFFFFFFFu));  // unknown never asks
}

namespace {
// Headers as far as the integrity record looks: the PE header at 0x80, its optional header at 0x98.
Bytes SigningHeaders(uint16_t magic, uint32_t directories, uint32_t tableOffset, uint32_t tableSize)
{
    Bytes file(0x200, 0xEE);
    file[0] = 'M', file[1] = 'Z';
    PutU32(file, 0x3C, 0x80);
    PutU32(file, 0x80, 0x4550);
    PutU16(file, 0x98, magic);
    bool pe64 = magic == 0x20B;
    PutU32(file, 0x98 + (pe64 ? 108 : 92), directories);
    PutU32(file, 0x98 + (pe64 ? 144 : 128), tableOffset);
    PutU32(file, 0x98 + (pe64 ? 148 : 132), tableSize);
    return file;
}
}  // namespace

TEST(Crc32, MatchesTheIeeeCheckValuesInAnyPieces)
{
    struct Case {
        const char *text;
        uint32_t crc;
    };
    const Case cases[] = {
        {"", 0},
        {"a", 0xE8B7BE43u},
        {"abc", 0x352441C2u},
        {"123456789", 0xCBF43926u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
    };
    for (const Case &c : cases) {
        size_t n = strlen(c.text);
        EXPECT_EQ(Crc32Update(0, c.text, n), c.crc) << c.text;
        for (size_t split = 0; split <= n; split++)
            EXPECT_EQ(Crc32Update(Crc32Update(0, c.text, split), c.text + split, n - split), c.crc);
    }
}

TEST(IntegrityCoverage, CoveredBytesForEachPlacementOfACertificateTable)
{
    struct Case {
        const char *what;
        uint16_t magic;
        uint32_t directories, tableOffset, tableSize, fileSize, payloadEnd;
        CertificatePlacement placement;
        uint32_t end, directoryEntry;  // where the header keeps entry 4, 0: nowhere
    };
    const Case cases[] = {
        {"unsigned PE32", 0x10B, 16, 0, 0, 0x3000, 0x3000, CertificateNone, 0x3000, 0x118},
        {"signed PE32", 0x10B, 16, 0x3000, 0x500, 0x3500, 0x2FF9, CertificateLast, 0x3000, 0x118},
        {"signed PE32+", 0x20B, 16, 0x3000, 0x500, 0x3500, 0x3000, CertificateLast, 0x3000, 0x128},
        {"directory into the payload", 0x10B, 16, 0x2FF8, 0x508, 0x3500, 0x3000, CertificateInsidePayload, 0x3500, 0x118},
        {"table not at the end", 0x20B, 16, 0x3000, 0x400, 0x3500, 0x3000, CertificateNotLast, 0x3500, 0x128},
        {"bytes appended behind a table", 0x10B, 16, 0x3000, 0x500, 0x3508, 0x3000, CertificateNotLast, 0x3508, 0x118},
        {"table cut short", 0x10B, 16, 0x3000, 0x500, 0x34F0, 0x3000, CertificatePastEnd, 0x34F0, 0x118},
        {"empty table", 0x10B, 16, 0x3500, 0, 0x3500, 0x3000, CertificateEmpty, 0x3500, 0x118},
        {"no entry 4 in the header", 0x10B, 4, 0x3000, 0x500, 0x3500, 0x3000, CertificateNone, 0x3500, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes headers = SigningHeaders(c.magic, c.directories, c.tableOffset, c.tableSize);
        PeWalk walk;
        WalkPeHeaders(ReadAtBytes, &headers, OptionalHeaderOfMagic, &walk);
        ASSERT_EQ(walk.signingRead, 1);
        IntegrityCoverage coverage;
        IntegrityInputs inputs = {c.payloadEnd, 0x2F00};
        EXPECT_EQ(CoverIntegrity(&walk.signing, c.fileSize, &inputs, &coverage), c.placement);
        EXPECT_EQ(coverage.end, c.end);
        // The record's CRC always; CheckSum (optional header + 64) and the directory entry only
        // when the file is signed.
        bool signedFile = c.placement == CertificateLast;
        EXPECT_EQ(coverage.holeOffset[0], 0x2F00u);
        EXPECT_EQ(coverage.holeSize[0], 4u);
        EXPECT_EQ(coverage.holeSize[1], signedFile ? 4u : 0u);
        EXPECT_EQ(coverage.holeSize[2], signedFile ? 8u : 0u);
        if (signedFile) {
            EXPECT_EQ(coverage.holeOffset[1], 0xD8u);
            EXPECT_EQ(coverage.holeOffset[2], c.directoryEntry);
        }
    }
    Bytes cut = SigningHeaders(0x10B, 16, 0, 0);
    cut.resize(0x98 + 100);  // the file ends before the directories
    PeWalk walk;
    WalkPeHeaders(ReadAtBytes, &cut, OptionalHeaderOfMagic, &walk);
    EXPECT_EQ(walk.signingRead, 0);
}

// The one composition the pre-check and sspack measure the record against.
TEST(IntegrityCoverage, PayloadEndAndCrcOffsetFromTheTableAsRead)
{
    struct Case {
        const char *what;
        uint32_t tableEnd;
        int hasRecord;
        uint64_t dataEnd;
        uint32_t fileSize, payloadEnd, crcOffset;
    };
    const Case cases[] = {
        {"data before the table, record behind it", 0x3000, 1, 0x2000, 0x4000, 0x300C, 0x3008},
        {"data behind the record", 0x3000, 1, 0x3800, 0x4000, 0x3800, 0x3008},
        {"no record", 0x3000, 0, 0x2000, 0x4000, 0x3000, 0x3008},
        {"no record, the table ending the file", 0x3000, 0, 0x2000, 0x3000, 0x3000, 0x3000},
        {"data claimed past the end", 0x3000, 1, 0x1FFFFFFFFull, 0x4000, 0x4000, 0x3008},
    };
    for (const Case &c : cases) {
        IntegrityInputs inputs = ComposeIntegrityInputs(c.tableEnd, c.hasRecord, c.dataEnd, c.fileSize);
        EXPECT_EQ(inputs.payloadEnd, c.payloadEnd) << c.what;
        EXPECT_EQ(inputs.crcOffset, c.crcOffset) << c.what;
    }
}

TEST(IntegrityCoverage, TheCrcCountsEachHoleAsZeroWhereverItFallsAndStopsAtTheEnd)
{
    const uint32_t Piece = 65536;
    Bytes file = Pattern(3 * Piece + 123, 9);
    struct Case {
        uint32_t end;
        uint32_t holeOffset[IntegrityHoleCount], holeSize[IntegrityHoleCount];
    };
    const uint32_t size = (uint32_t)file.size();
    const Case cases[] = {
        {size, {0, 100, 200}, {4, 4, 8}},
        {size, {Piece - 2, 2 * Piece - 4, 3 * Piece - 3}, {4, 4, 8}},  // across the pieces' edges
        {size, {Piece, size - 4, 0}, {4, 4, 0}},
        {2 * Piece + 5, {2 * Piece + 3, 2 * Piece + 4, 500}, {4, 4, 8}},  // a hole across the end
        {Piece, {size - 4, 70, 80}, {4, 4, 8}},                           // a hole beyond it
    };
    for (const Case &c : cases) {
        Bytes expected(file.begin(), file.begin() + c.end);
        for (int h = 0; h < IntegrityHoleCount; h++)
            for (uint32_t i = c.holeOffset[h]; i < c.holeOffset[h] + c.holeSize[h] && i < c.end; i++) expected[i] = 0;
        IntegrityCoverage coverage;
        coverage.end = c.end;
        for (int h = 0; h < IntegrityHoleCount; h++) {
            coverage.holeOffset[h] = c.holeOffset[h];
            coverage.holeSize[h] = c.holeSize[h];
        }
        std::vector<uint8_t> buffer(Piece);
        uint32_t crc = 0;
        EXPECT_EQ(IntegrityCrc(&coverage, ReadAtBytes, &file, buffer.data(), Piece, &crc), 1);
        EXPECT_EQ(crc, Crc32Update(0, expected.data(), expected.size())) << c.end << " " << c.holeOffset[1];
    }
    IntegrityCoverage beyond = {size + 1, {0, 0, 0}, {0, 0, 0}};
    std::vector<uint8_t> buffer(Piece);
    uint32_t crc;
    EXPECT_EQ(IntegrityCrc(&beyond, ReadAtBytes, &file, buffer.data(), Piece, &crc), 0) << "a short read fails";
}
