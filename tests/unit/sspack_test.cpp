// sspack from its command line: build, list, extract and verify round trips from PE32 and PE32+
// stubs, every refusal with its exit code, and damaged installers reported without a crash. Every
// case runs against the host's sspack and against sspack.exe under Wine, which must build the same
// installers byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <cstring>
#include <set>
#include <sstream>

#include "lzh/decoder.h"
#include "payload/block.h"
#include "payload/check_payload.h"
#include "sspack/cli/cli.h"
#include "sspack/cli/commands.h"
#include "sspack/read/installer_reader.h"
#include "sspack/format/pe_image.h"
#include "sspack_fixture.h"

using namespace packtest;

namespace {

// The tool's own code in this process; errTerminal as the program's entry would pass it.
ToolRun RunInProcess(const std::vector<std::string> &args, bool errTerminal = false)
{
    std::ostringstream out, err;
    int code = RunSspack(args, out, err, errTerminal);
    return {code, out.str(), err.str()};
}

// The installer the tool's own code builds in this process from the same arguments: both programs
// must write exactly these bytes.
Bytes ReferenceBuild(std::vector<std::string> args, const std::string &out)
{
    for (size_t i = 0; i + 1 < args.size(); i++)
        if (args[i] == "--out") args[i + 1] = out;
    ToolRun run = RunInProcess(args);
    EXPECT_EQ(run.code, 0) << run.err;
    return ReadFileBytes(out);
}

struct Runs {
    const char *stub;  // "win32" or "win64"
    Program program;
};

class SspackCli : public ::testing::TestWithParam<Runs> {
protected:
    void SetUp() override
    {
        PACKTEST_NEED_STUB(Kind(), "good");
        PACKTEST_NEED_PROGRAM(GetParam().program);
        stub_ = StubPath(Kind(), "good");
        files_ = {dir_.Write("saver.scr", GuiProgram(5000, 1)), dir_.Write("saver.dat", Pattern(300, 2)),
                  dir_.Write("uninstal.exe", GuiProgram(2560, 3)), dir_.Write("movie.swf", Pattern(20000, 4))};
    }
    std::vector<std::string> BuildArgs(const std::string &title, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {"build", "--stub", stub_, "--title", title, "--out", dir_.Path("out.exe")};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    std::vector<std::string> WithFiles(std::vector<std::string> args)
    {
        args.insert(args.end(), files_.begin(), files_.end());
        return args;
    }
    std::string Kind() const { return GetParam().stub; }
    ToolRun Sspack(const std::vector<std::string> &args)
    {
        ToolRun run = RunProgram(GetParam().program, args);
        if (!args.empty() && args[0] == "build" && run.code == 0) ExpectVerifyPasses(args);
        return run;
    }
    // Every installer build writes passes verify, and so the installer's pre-check.
    static void ExpectVerifyPasses(const std::vector<std::string> &buildArgs)
    {
        auto out = std::find(buildArgs.begin(), buildArgs.end(), "--out");
        ASSERT_NE(out, buildArgs.end());
        std::ostringstream report;
        EXPECT_TRUE(RunVerify(out[1], report)) << report.str();
    }
    // A Windows command line carries text, not bytes: raw Windows-1252 arguments are the host's.
    bool CarriesBytes() const { return GetParam().program == Program::Host; }
    // The installer the program wrote is the one the tool's code writes from the same arguments.
    void ExpectReferenceBytes(const std::vector<std::string> &args)
    {
        EXPECT_EQ(ReadFileBytes(dir_.Path("out.exe")), ReferenceBuild(args, dir_.Path("reference.exe")));
    }
    TempDir dir_;
    std::string stub_;
    std::vector<std::string> files_;
};

}  // namespace

TEST_P(SspackCli, BuildListExtractGiveTheFilesBack)
{
    // Literals here are Windows-1252, the command line and the reports UTF-8.
    const std::string title = "Schöne Aussicht ";
    std::vector<std::string> args =
        WithFiles(BuildArgs(Cp1252ToUtf8(title), {"--licence", dir_.Write("l.txt", Bytes{'a', '\n', 'b'})}));
    ToolRun build = Sspack(args);
    ASSERT_EQ(build.code, 0) << build.err;
    EXPECT_NE(build.out.find("screen saver"), std::string::npos);
    EXPECT_NE(build.out.find("uninstaller: " + files_[2] + " (the third file, named UNINSTAL.EXE)"), std::string::npos)
        << build.out;
    ExpectReferenceBytes(args);

    ToolRun list = Sspack({"list", dir_.Path("out.exe")});
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_NE(list.out.find("title: \"" + Cp1252ToUtf8(title) + "\""), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("licence: 4 bytes"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find(Cp1252ToUtf8("Windows\\Schöne Aussicht.scr")), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("DataFolder\\FILE0000.SWF"), std::string::npos) << list.out;

    ToolRun extract = Sspack({"extract", dir_.Path("out.exe"), dir_.Path("x")});
    ASSERT_EQ(extract.code, 0) << extract.err;
    const char *names[] = {"Schöne Aussicht.scr", "Schöne Aussicht.dat", "UNINSTAL.EXE", "FILE0000.SWF"};
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(names[i]);
        std::string name = Cp1252ToUtf8(names[i]);
        EXPECT_EQ(ReadFileBytes(dir_.Path("x/" + name)), ReadFileBytes(files_[i]));
    }

    InstallerView view = ReadInstaller(dir_.Path("out.exe"));
    EXPECT_EQ(view.licence, "a\r\nb");
    EXPECT_EQ(view.title, title);  // stored in Windows-1252
    EXPECT_EQ(view.entryCount, 4);
    EXPECT_EQ(std::string(view.entries[1].Extension, 16), ".DAT            ");
    EXPECT_EQ(view.entries[0].DataOffset, std::max<uint64_t>(ReadFileBytes(stub_).size(), view.blockEnd + 12));
    for (size_t i = 1; i < 4; i++)
        EXPECT_EQ(view.entries[i].DataOffset, view.entries[i - 1].DataOffset + view.entries[i - 1].StoredSize);
    // The data end the file, but for the zeros that spare a signer its padding.
    uint64_t dataEnd = view.entries[3].DataOffset + view.entries[3].StoredSize;
    Bytes built = ReadFileBytes(dir_.Path("out.exe"));
    EXPECT_EQ(view.fileSize, (dataEnd + 7) / 8 * 8);
    EXPECT_EQ(built.size(), view.fileSize);
    for (uint64_t at = dataEnd; at < built.size(); at++) EXPECT_EQ(built[at], 0) << at;
    EXPECT_TRUE(view.hasIntegrityRecord);
    EXPECT_EQ(view.recordedCrc, view.computedCrc);

    ToolRun verify = Sspack({"verify", dir_.Path("out.exe")});
    EXPECT_EQ(verify.code, 0) << verify.out;
    EXPECT_NE(verify.out.find("note  signature: none\n"), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("verdict: sound"), std::string::npos);

    WriteFileBytes(dir_.Path("signed.exe"), SignLikeASigner(built, 1000));
    verify = Sspack({"verify", dir_.Path("signed.exe")});
    EXPECT_EQ(verify.code, 0) << verify.out;
    char table[96];
    std::snprintf(table, sizeof table, "ok    signature: certificate table at 0x%zX, 1000 bytes, the file's last part, 1 record",
                  built.size());
    EXPECT_NE(verify.out.find(table), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("(up to the certificate table)"), std::string::npos) << verify.out;
    EXPECT_EQ(verify.out.find("note  signature"), std::string::npos) << verify.out;

    // A table grown behind its record, its size raised to match (a download tag): the installer
    // takes it, so verify calls it sound and notes the table's content.
    uint32_t optional = GetU32(built, 0x3C) + 24;
    uint32_t directory = optional + (GetU16(built, optional) == 0x20B ? 144 : 128);
    Bytes grown = SignLikeASigner(built, 1000);
    grown.resize(grown.size() + 24, 'T');
    PutU32(grown, directory + 4, 1024);
    WriteFileBytes(dir_.Path("grown.exe"), grown);
    EXPECT_EQ(InspectPayload(dir_.Path("grown.exe").c_str(), OptionalHeaderOfMagic, TypicalWindows, TypicalApplicationData), PayloadSound);
    verify = Sspack({"verify", dir_.Path("grown.exe")});
    EXPECT_EQ(verify.code, 0) << verify.out;
    EXPECT_NE(verify.out.find("1024 bytes, the file's last part, 1 record"), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("note  signature: the table's content is not as a signer writes it"), std::string::npos)
        << verify.out;

    // A damaged tag in the record's room: the installer refuses the file, and verify with it.
    Bytes untagged = built;
    untagged[view.blockEnd] ^= 1;
    WriteFileBytes(dir_.Path("untagged.exe"), untagged);
    verify = Sspack({"verify", dir_.Path("untagged.exe")});
    EXPECT_EQ(verify.code, 1) << verify.out;
    EXPECT_NE(verify.out.find("the room for the integrity record behind the table holds no record"), std::string::npos)
        << verify.out;
}

TEST_P(SspackCli, TitleMayComeAsUtf8OrAsWindows1252Bytes)
{
    for (const std::string &given : {std::string("Gr\xC3\xBC\xC3\x9F" "e"), std::string("Gr\xFC\xDF" "e")}) {
        if (!CarriesBytes() && !LooksLikeUtf8(given)) continue;
        ASSERT_EQ(Sspack(WithFiles(BuildArgs(given))).code, 0);
        EXPECT_EQ(ReadInstaller(dir_.Path("out.exe")).title, "Gr\xFC\xDF" "e");
    }
}

TEST_P(SspackCli, WrongEntryCountIsNotedNotFatal)
{
    ASSERT_EQ(Sspack(WithFiles(BuildArgs("Counted", {"--no-integrity"}))).code, 0);
    Bytes file = ReadFileBytes(dir_.Path("out.exe"));
    InstallerView view = ReadInstaller(dir_.Path("out.exe"));
    PutU16(file, view.tableOffset - EntryCountSize, 9);
    WriteFileBytes(dir_.Path("out.exe"), file);
    ToolRun list = Sspack({"list", dir_.Path("out.exe")});
    EXPECT_EQ(list.code, 0);
    EXPECT_NE(list.out.find("entries: 4 (EntryCount says 9)"), std::string::npos) << list.out;
    ToolRun verify = Sspack({"verify", dir_.Path("out.exe")});
    EXPECT_EQ(verify.code, 0) << verify.out;
    EXPECT_NE(verify.out.find("note  EntryCount is 9"), std::string::npos) << verify.out;
}

TEST_P(SspackCli, NoIntegrityLeavesTheRecordOut)
{
    ASSERT_EQ(Sspack(WithFiles(BuildArgs("Plain", {"--no-integrity"}))).code, 0);
    InstallerView view = ReadInstaller(dir_.Path("out.exe"));
    EXPECT_FALSE(view.hasIntegrityRecord);
    EXPECT_EQ(view.entries[0].DataOffset, std::max<uint64_t>(ReadFileBytes(stub_).size(), view.blockEnd));
    EXPECT_EQ(Sspack({"verify", dir_.Path("out.exe")}).code, 0);
}

TEST_P(SspackCli, RefusesWhatAnInstallerCouldNotInstall)
{
    std::string big = dir_.Path("big.bin");
    {
        // A sparse file just over 2 GiB: refused by its size before anything is read.
        FILE *f = std::fopen(big.c_str(), "wb");
        ASSERT_TRUE(f);
        ASSERT_EQ(std::fseek(f, 0x80000000L, SEEK_SET), 0);
        std::fputc(1, f);
        std::fclose(f);
    }
    struct Case {
        const char *what;
        std::vector<std::string> args;
        std::string message;
    };
    std::string title260(260, 't');
    ASSERT_EQ(Sspack(WithFiles(BuildArgs("Built"))).code, 0);
    std::string installer = dir_.Path("built.exe");
    std::filesystem::rename(dir_.Path("out.exe"), installer);
    std::string png = dir_.Write("image.scr", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'});
    std::string console = dir_.Write("console.scr", ProgramWithSubsystem(3, 3000, 5));
    std::string text = dir_.Write("notes.scr", Bytes{'N', 'o', 't', 'e', 's', '\r', '\n'});
    const std::vector<Case> cases = {
        {"empty title", WithFiles(BuildArgs("")), "title is empty"},
        {"blank title", WithFiles(BuildArgs("   ")), "title is empty"},
        {"title of 260", WithFiles(BuildArgs(title260)), "at most 259"},
        {"backslash", WithFiles(BuildArgs("a\\b")), "the title holds '\\' (U+005C), not allowed in file names"},
        {"slash", WithFiles(BuildArgs("a/b")), "not allowed"},
        {"colon", WithFiles(BuildArgs("a:b")), "not allowed"},
        {"star", WithFiles(BuildArgs("a*")), "not allowed"},
        {"question mark", WithFiles(BuildArgs("a?")), "not allowed"},
        {"quote", WithFiles(BuildArgs("a\"b")), "not allowed"},
        {"less", WithFiles(BuildArgs("a<b")), "not allowed"},
        {"greater", WithFiles(BuildArgs("a>b")), "not allowed"},
        {"bar", WithFiles(BuildArgs("a|b")), "not allowed"},
        {"control", WithFiles(BuildArgs("a\tb")), "the title holds U+0009, not allowed"},
        {"device name", WithFiles(BuildArgs("con")), "reserved device name"},
        {"device name with dot", WithFiles(BuildArgs("LPT1.x")), "reserved device name"},
        {"NUL", WithFiles(BuildArgs("NUL")), "reserved device name"},
        {"com1.txt", WithFiles(BuildArgs("com1.txt")), "reserved device name"},
        {"trailing dot", WithFiles(BuildArgs("Sky.")), "ends in a dot"},
        {"trailing dot before blanks", WithFiles(BuildArgs("Sky.  ")), "ends in a dot"},
        {"dot", WithFiles(BuildArgs(".")), "no name of its own"},
        {"dot dot", WithFiles(BuildArgs("..")), "no name of its own"},
        {"no Windows-1252", WithFiles(BuildArgs("Sky \xE2\x98\x83")), "the title holds '\xE2\x98\x83' (U+2603), which Windows-1252 cannot write"},
        {"Windows-1252 bytes with a bar", WithFiles(BuildArgs("Gr\xFC\xDF|e")), "not allowed"},
        {"licence too long", WithFiles(BuildArgs("T", {"--licence", dir_.Write("long.txt", Bytes(65536, 'x'))})), "65535"},
        {"licence too long with CR LF", WithFiles(BuildArgs("T", {"--licence", dir_.Write("lf.txt", Bytes(40000, '\n'))})), "65535"},
        {"licence with NUL", WithFiles(BuildArgs("T", {"--licence", dir_.Write("zero-byte.txt", Bytes{'a', 0, 'b'})})), "line 1 holds a NUL byte"},
        {"licence empty", WithFiles(BuildArgs("T", {"--licence", dir_.Write("empty.txt", Bytes{})})), "empty"},
        {"licence missing", WithFiles(BuildArgs("T", {"--licence", dir_.Path("none.txt")})), "none.txt: no such file"},
        {"missing file", BuildArgs("T", {files_[0], dir_.Path("gone.dat")}), "no such file"},
        {"empty file", BuildArgs("T", {files_[0], dir_.Write("zero.dat", Bytes{})}), "empty"},
        {"directory", BuildArgs("T", {files_[0], dir_.Path("")}), "not a regular file"},
        {"file over 2 GiB", BuildArgs("T", {files_[0], big}), "2 GiB"},
        {"extension over 15", BuildArgs("T", {files_[0], dir_.Write("a.abcdefghijklmnop", Bytes{1})}), "15"},
        {"extension not ASCII", BuildArgs("T", {files_[0], dir_.Write("a.d\xC3\xA4t", Bytes{1})}),
         "the extension holds '\xC3\xA4' (U+00E4); the installer takes extensions of ASCII characters only"},
        {"extension ending in a dot", BuildArgs("T", {files_[0], files_[1], files_[2], dir_.Write("movie. ", Bytes{1})}),
         "movie. : the extension \". \" ends in a dot"},
        {"short name", WithFiles(BuildArgs("PROGRA~1")), "short (8.3) name"},
        {"missing stub", WithFiles({"build", "--stub", dir_.Path("nostub.exe"), "--title", "T", "--out", dir_.Path("out.exe")}),
         "nostub.exe: no such file"},
        {"stub not PE", WithFiles({"build", "--stub", files_[1], "--title", "T", "--out", dir_.Path("out.exe")}),
         "saver.dat: not an executable"},
        {"signed stub", WithFiles({"build", "--stub", dir_.Write("signed.exe", SignLikeASigner(ReadFileBytes(stub_))),
                                   "--title", "T", "--out", dir_.Path("out.exe")}), "signed.exe: the stub is signed"},
        {"an installer as the stub", WithFiles({"build", "--stub", installer, "--title", "T", "--out", dir_.Path("out.exe")}),
         "built.exe: an installer already"},
        // The title of 108 characters: the data file's path, folder and name, needs 260 characters.
        {"title of 108", WithFiles(BuildArgs(std::string(108, 't'))),
         "entry 1 (data file) would be C:\\ProgramData\\Quilmark LLC\\Vistaworks\\" + std::string(108, 't') + "\\" +
             std::string(108, 't') + ".dat, 260 characters; the installer takes at most 259, so the title may have at most 107"},
        // The screen saver is started by the installer: a Windows GUI program, nothing else.
        {"a text file as the screen saver", BuildArgs("T", {text, files_[1], files_[2]}),
         "notes.scr: a text file, not a Windows GUI program"},
        {"a PNG image as the screen saver", BuildArgs("T", {png, files_[1], files_[2]}), "a PNG image, not a Windows GUI program"},
        {"a console program as the screen saver", BuildArgs("T", {console, files_[1], files_[2]}),
         "console.scr: a console program, not a Windows GUI program"},
        {"the uninstaller as the screen saver", BuildArgs("T", {files_[2], files_[1], files_[2]}),
         "uninstal.exe: the uninstaller, not a screen saver"},
        {"saver and data swapped", BuildArgs("T", {files_[1], files_[0], files_[2]}),
         "warning: the data file " + files_[0] + " is a Windows GUI program and the screen saver " + files_[1] +
             " is not: the two may be swapped"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (!CarriesBytes() && !LooksLikeUtf8(c.args[4])) continue;
        ToolRun run = Sspack(c.args);
        EXPECT_EQ(run.code, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir_.Path("out.exe"))) << "nothing may be written on a refusal";
    }
    // The longest title the default folders take builds, and what it builds passes verify (Sspack
    // checks that); one more character is refused above, and verify tells why such a file will not
    // install rather than calling it damaged.
    ToolRun fitting = Sspack(WithFiles(BuildArgs(std::string(107, 't'))));
    EXPECT_EQ(fitting.code, 0) << fitting.err;
    EXPECT_EQ(fitting.err, "");
    BuildRequest tooLong = Request(Kind(), std::string(108, 't'), FourFiles());
    std::string refused = dir_.Write("refused.exe", BuildThroughFile(tooLong).installer);
    ToolRun verify = Sspack({"verify", refused});
    EXPECT_EQ(verify.code, 1);
    EXPECT_NE(verify.out.find("verdict: WILL NOT INSTALL: a destination would be over 259 characters with C:\\WINDOWS and "
                              "C:\\ProgramData: entry 1 (data file) would be C:\\ProgramData\\"),
              std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("260 characters; a title of at most 107 characters fits\n"), std::string::npos) << verify.out;
}

TEST_P(SspackCli, RefusesStubsThatBreakTheLayoutRule)
{
    struct Case {
        const char *variant;
        const char *message;
    };
    const Case cases[] = {
        {"no_lastres", "first resource type is 6"},
        {"two_named", "first resource type is \"AAAFIRST\""},
        {"wrong_id", "exactly one resource, id 1000"},
        {"wrong_language", "exactly one language, 1033"},
        {"big_placeholder", "placeholder is 8 bytes"},
        // windres puts the named type's data first, so the other resources' data lie behind it.
        {"with_dialog", "lie behind the LASTRES data"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.variant);
        if (!HaveStub(Kind(), c.variant)) GTEST_FAIL() << StubPath(Kind(), c.variant) << " not built";
        std::vector<std::string> args = WithFiles(BuildArgs("T"));
        args[2] = StubPath(Kind(), c.variant);
        ToolRun run = Sspack(args);
        EXPECT_EQ(run.code, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

TEST_P(SspackCli, DamagedInstallersAreReportedNotCrashedOn)
{
    ASSERT_EQ(Sspack(WithFiles(BuildArgs("Damaged"))).code, 0);
    Bytes good = ReadFileBytes(dir_.Path("out.exe"));
    InstallerView view = ReadInstaller(dir_.Path("out.exe"));
    std::string bad = dir_.Path("bad.exe");
    struct Case {
        const char *what;
        Bytes file;
        const char *verdict;  // what verify names
        int problems;         // a fault the pre-check refuses for and a later check names again is one
    };
    Bytes truncatedTable(good.begin(), good.begin() + view.tableOffset + 30);
    Bytes truncatedData(good.begin(), good.end() - 10);
    Bytes flipped = good;
    flipped[view.entries[2].DataOffset + 7] ^= 1;
    Bytes hugeExpanded = good;
    PutU32(hugeExpanded, view.tableOffset + 8, 0x80000000u);
    Bytes badTitle = good;
    badTitle[view.blockOffset + 2 + 3] = '/';
    Bytes overlapping = good;
    PutU32(overlapping, view.tableOffset + PayloadEntrySize, view.blockOffset);
    Bytes streamExtension = good;  // FILE0000.SWF:s, a stream of FILE0000.SWF on Windows
    std::memcpy(&streamExtension[view.tableOffset + 3 * PayloadEntrySize + 12], ".SWF:s", 6);
    Bytes sharing = good;  // entry 3 over entry 2's bytes and more: each still inside the file
    PutU32(sharing, view.tableOffset + 3 * PayloadEntrySize, view.entries[2].DataOffset);
    Bytes badCrc = good;
    badCrc[view.blockEnd + 8] ^= 0x80;
    Bytes otherNamedType = good;  // the type's name string, "LASTRES", becomes "LASTREZ"
    PeImage image = ParsePeImage(good);
    const PeSection &rsrc = image.sections[image.resourceSection];
    uint32_t nameField = GetU32(good, rsrc.rawPointer + 16) & 0x7FFFFFFF;
    otherNamedType[rsrc.rawPointer + nameField + 2 + 2 * 6] = 'Z';
    Bytes appended = good;
    appended.resize(appended.size() + 8, 0);
    Bytes signedFile = SignLikeASigner(good, 1000);
    uint32_t optional = GetU32(good, 0x3C) + 24;
    uint32_t directory = optional + (GetU16(good, optional) == 0x20B ? 144 : 128);
    Bytes intoPayload = signedFile;
    PutU32(intoPayload, directory, view.entries[3].DataOffset);
    PutU32(intoPayload, directory + 4, (uint32_t)(signedFile.size() - view.entries[3].DataOffset));
    Bytes tableBehind = signedFile;
    tableBehind.resize(tableBehind.size() + 16, 0);
    Bytes recordTooLong = signedFile;
    PutU32(recordTooLong, good.size(), 1008);
    const std::vector<Case> cases = {
        {"bytes appended, unsigned", appended, "integrity record: CRC-32", 1},
        {"signed, table cut short", Bytes(signedFile.begin(), signedFile.end() - 10), "runs 10 bytes past the end of the file", 1},
        {"signed, directory into the payload", intoPayload, "starts inside the payload", 1},
        {"signed, bytes behind the table", tableBehind, "not the file's last part: 16 bytes follow it", 1},
        {"table cut", truncatedTable, "before the table's terminator", 2},
        {"last entry cut", truncatedData, "run past the end of the file", 2},
        {"bit flipped in data", flipped, "integrity record", 1},  // one changed byte in a sealed file
        {"expanded size 2 GiB", hugeExpanded, "2 GiB or more", 3},
        {"slash in title", badTitle, "not allowed", 2},
        {"stream name as extension", streamExtension, "extension \".SWF:s\" cannot end a file name", 2},
        {"data over the block", overlapping, "overlap the payload block", 2},
        {"two entries sharing bytes", sharing, "entry 3 (further file): its data overlap those of entry 2", 3},
        {"integrity record altered", badCrc, "integrity record", 1},
        // The installer's reader does not compare the name: what the first resource holds is judged.
        {"payload type renamed", otherNamedType, "not \"LASTRES\"", 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(bad, c.file);
        ToolRun verify = Sspack({"verify", bad});
        EXPECT_EQ(verify.code, 1);
        std::string verdict = "verdict: DAMAGED (" + std::to_string(c.problems) + (c.problems == 1 ? " problem)" : " problems)");
        EXPECT_NE(verify.out.find(verdict), std::string::npos) << verify.out;
        EXPECT_NE(verify.out.find(c.verdict), std::string::npos) << verify.out;
        // The installer's own verdict comes first, whichever sspack runs it.
        bool refused = InspectPayload(bad.c_str(), OptionalHeaderOfMagic, TypicalWindows, TypicalApplicationData) != PayloadSound;
        EXPECT_EQ(verify.out.rfind(refused ? "FAIL  the installer's pre-check refuses the file: "
                                           : "ok    the installer's pre-check passes the file", 0), 0u) << verify.out;
        ToolRun list = Sspack({"list", bad});
        ToolRun extract = Sspack({"extract", bad, dir_.Path("x")});
        EXPECT_TRUE(list.code == 0 || list.code == 1);
        EXPECT_TRUE(extract.code == 0 || extract.code == 1);
    }
    // Nothing inside a certificate table that is the file's last part can hide a change of the
    // payload: the installer takes the file, and verify notes what it finds there.
    WriteFileBytes(bad, recordTooLong);
    ToolRun inside = Sspack({"verify", bad});
    EXPECT_EQ(inside.code, 0) << inside.out;
    EXPECT_NE(inside.out.find("note  signature: the table's content is not as a signer writes it: its record at"),
              std::string::npos) << inside.out;
    EXPECT_NE(inside.out.find("claims 1008 bytes, 1000 are left"), std::string::npos) << inside.out;
    WriteFileBytes(bad, sharing);
    ToolRun shared = Sspack({"extract", bad, dir_.Path("shared")});
    EXPECT_EQ(shared.code, 1);
    EXPECT_NE(shared.err.find("the data of entries 2 and 3 overlap"), std::string::npos) << shared.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.Path("shared"))) << "refused before anything is written";
    WriteFileBytes(bad, truncatedTable);
    EXPECT_EQ(Sspack({"list", bad}).code, 1);
    // A download cut inside the last entry's data: the table is whole and listed, the cut named.
    WriteFileBytes(bad, truncatedData);
    ToolRun cutList = Sspack({"list", bad});
    EXPECT_EQ(cutList.code, 1);
    EXPECT_NE(cutList.out.find("DataFolder\\FILE0000.SWF"), std::string::npos) << cutList.out;
    EXPECT_NE(cutList.out.find("entry 3: its data"), std::string::npos) << cutList.out;
    EXPECT_NE(cutList.out.find("lie beyond the end of the file"), std::string::npos) << cutList.out;
    EXPECT_EQ(cutList.out.find("entry 2: its data"), std::string::npos) << cutList.out;
    WriteFileBytes(bad, truncatedData);
    EXPECT_EQ(Sspack({"extract", bad, dir_.Path("y")}).code, 1);
    WriteFileBytes(bad, badTitle);
    EXPECT_EQ(Sspack({"extract", bad, dir_.Path("z")}).code, 1) << "a title with a slash must not become a path";
    WriteFileBytes(bad, streamExtension);
    EXPECT_EQ(Sspack({"extract", bad, dir_.Path("s")}).code, 1);
    EXPECT_FALSE(std::filesystem::exists(dir_.Path("s"))) << "judged before anything is written";
}

INSTANTIATE_TEST_SUITE_P(Stubs, SspackCli,
                         ::testing::Values(Runs{"win32", Program::Host}, Runs{"win64", Program::Host},
                                           Runs{"win32", Program::Wine}),
                         [](const ::testing::TestParamInfo<Runs> &info) {
                             return std::string(info.param.stub) + "_" + ProgramName(info.param.program);
                         });

class SspackUsage : public ::testing::TestWithParam<Program> {
protected:
    void SetUp() override { PACKTEST_NEED_PROGRAM(GetParam()); }
    ToolRun Sspack(const std::vector<std::string> &args) { return RunProgram(GetParam(), args); }
};

TEST_P(SspackUsage, UsageErrorsExitTwo)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"build"},
        {"build", "--stub", "s", "--quiet-installer", "--title", "T", "--out", "o", "f", "g"},
        {"build", "--quiet", "--title", "T", "--out", "o", "f", "g"},
        {"build", "--stub", "s", "--title", "T", "--out", "o", "saver.scr"},
        {"build", "--title", "T", "--out", "o", "--uninstaller", "u", "a", "b", "x/Uninstal.exe"},
        {"build", "--title", "T", "--out", "o", "--uninstaller", "u", "a"},
        {"build", "--stub", "s", "--out", "o", "f"},
        {"build", "--stub", "s", "--title", "T", "f"},
        {"build", "--stub", "s", "--title", "T", "--out", "o"},
        {"build", "--stub", "s", "--title", "T", "--out", "o", "--bogus", "f"},
        {"build", "--stub", "s", "--title", "T", "--out", "o", "--compress=huge", "f"},
        {"build", "--stub"},
        {"list"},
        {"list", "a", "b"},
        {"extract", "a"},
        {"verify"},
    };
    for (const auto &args : cases) {
        SCOPED_TRACE(args.empty() ? "(none)" : args[0] + " ...");
        ToolRun run = Sspack(args);
        EXPECT_EQ(run.code, 2);
        EXPECT_NE(run.err.find("usage: sspack build"), std::string::npos) << run.err;
    }
}

TEST_P(SspackUsage, HelpAndVersion)
{
    ToolRun help = Sspack({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("exit codes"), std::string::npos);
    ToolRun version = Sspack({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, std::string("sspack ") + SspackVersion + "\n");
}

TEST_P(SspackUsage, ManualPageNamesTheOptionsOfHelp)
{
    auto options = [](std::string text) {
        for (size_t at; (at = text.find("\\-")) != std::string::npos;) text.replace(at, 2, "-");
        std::set<std::string> found;
        for (size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
            size_t end = at + 2;
            while (end < text.size() && (std::isalnum((unsigned char)text[end]) || text[end] == '-')) end++;
            if (end > at + 2) found.insert(text.substr(at, end - at));
        }
        return found;
    };
    ToolRun help = Sspack({"--help"});
    std::set<std::string> helpOptions = options(help.out);
    EXPECT_EQ(options(ReadFileBytes<std::string>(std::string(SSP_SOURCE_DIR) + "/sspack/sspack.1")), helpOptions);
    EXPECT_TRUE(helpOptions.count("--uninstaller") && helpOptions.count("--quiet-installer")) << help.out;
    EXPECT_FALSE(helpOptions.count("--quiet")) << "packing the quiet installer is not less output";
}

// Without --stub and without an uninstaller among the files, build takes what ships with the tool:
// from ../share/sspack beside its bin folder, where make install puts them (the zip keeps them
// beside sspack.exe, as the win32 build does). The summary names where entry 2 came from.
TEST_P(SspackUsage, ShippedStubAndUninstallerGoInByThemselves)
{
    PACKTEST_NEED_STUB("win32", "good");
    TempDir dir;
    std::string program = GetParam() == Program::Host ? "sspack" : "sspack.exe";
    for (const char *kit : {"kit/bin", "kit/share/sspack", "bare/bin", "own"})
        std::filesystem::create_directories(dir.Path(kit));
    std::filesystem::copy_file(ProgramPath(GetParam()), dir.Path("kit/bin/" + program));
    std::filesystem::copy_file(ProgramPath(GetParam()), dir.Path("bare/bin/" + program));
    std::filesystem::permissions(dir.Path("kit/bin/" + program), std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    std::filesystem::permissions(dir.Path("bare/bin/" + program), std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    Bytes stub = ReadFileBytes(StubPath("win32", "good"));
    Bytes quiet = stub;
    quiet[0x4E] ^= 0x20;  // a letter of the DOS stub's message: the same stub, told apart
    dir.Write("kit/share/sspack/installer.exe", stub);
    dir.Write("kit/share/sspack/installer-quiet.exe", quiet);
    std::string shipped = dir.Write("kit/share/sspack/UNINSTAL.EXE", Pattern(3000, 7));
    std::string scr = dir.Write("saver.scr", GuiProgram(500, 1)), dat = dir.Write("saver.dat", Pattern(300, 2));
    std::string movie = dir.Write("movie.swf", Pattern(200, 4)), other = dir.Write("other.exe", Pattern(100, 5));
    std::string own = dir.Write("own/Uninstal.EXE", Pattern(400, 6));
    struct Case {
        const char *what;
        const char *kit;
        std::vector<std::string> args;
        int code;
        const Bytes *stub;
        std::vector<std::string> entries;
        std::string says;  // in the report or the warnings
    };
    const std::vector<Case> cases = {
        {"saver and data", "kit", {scr, dat}, 0, &stub, {scr, dat, shipped}, "(shipped with sspack)"},
        {"quiet, a further file", "kit", {"--quiet-installer", scr, dat, movie}, 0, &quiet, {scr, dat, shipped, movie},
         "2     uninstaller"},
        {"explicit third file", "kit", {scr, dat, own, movie}, 0, &stub, {scr, dat, own, movie},
         "(the third file, named UNINSTAL.EXE)"},
        {"--uninstaller", "kit", {"--uninstaller", own, scr, dat, movie}, 0, &stub, {scr, dat, own, movie},
         "(given with --uninstaller)"},
        {"a program as a further file", "kit", {scr, dat, movie, other}, 0, &stub, {scr, dat, shipped, movie, other},
         "warning: entry 4 (further file) is the program"},
        {"no stub shipped", "bare", {scr, dat}, 1, nullptr, {}, "no installer.exe beside sspack"},
        {"the shipped stub as the output", "kit", {"--out", dir.Path("kit/share/sspack/installer.exe"), scr, dat}, 1, nullptr,
         {}, "the same file as the stub"},
        {"no uninstaller shipped", "bare", {"--stub", StubPath("win32", "good"), scr, dat}, 1, nullptr, {},
         "no UNINSTAL.EXE beside sspack"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"build", "--title", "T", "--out", dir.Path("out.exe")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ToolRun run = RunProgram(GetParam(), args, dir.Path(std::string(c.kit) + "/bin/" + program));
        ASSERT_EQ(run.code, c.code) << run.err;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
        if (c.code) continue;
        std::ostringstream report;
        EXPECT_TRUE(RunVerify(dir.Path("out.exe"), report)) << report.str();
        // list tells which shipped installer it is, and which entries are stored as they are.
        ToolRun list = RunProgram(GetParam(), {"list", dir.Path("out.exe")}, dir.Path(std::string(c.kit) + "/bin/" + program));
        EXPECT_NE(list.out.find(c.stub == &quiet ? "installer: quiet (the shipped installer-quiet.exe)\n"
                                                 : "installer: interactive (the shipped installer.exe)\n"),
                  std::string::npos) << list.out;
        EXPECT_NE(list.out.find("       stored .DAT "), std::string::npos) << list.out;
        InstallerView view = ReadInstaller(dir.Path("out.exe"));
        Bytes file = ReadFileBytes(dir.Path("out.exe"));
        Bytes head(c.stub->begin(), c.stub->begin() + 0x100);
        PutU32(head, GetU32(head, 0x3C) + 24 + 64, 0);  // the build writes CheckSum as zero
        EXPECT_TRUE(std::equal(head.begin(), head.end(), file.begin()));
        ASSERT_EQ(view.entries.size(), c.entries.size());
        for (size_t i = 0; i < c.entries.size(); i++) {
            const PayloadEntry &e = view.entries[i];
            EXPECT_EQ(Bytes(file.begin() + e.DataOffset, file.begin() + e.DataOffset + e.StoredSize),
                      ReadFileBytes(c.entries[i])) << "entry " << i;
            EXPECT_NE(run.out.find(EntryRole(i)), std::string::npos);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, SspackUsage, ::testing::Values(Program::Host, Program::Wine),
                         [](const ::testing::TestParamInfo<Program> &info) { return ProgramName(info.param); });

TEST_P(SspackCli, SummaryTableAndProgressForLargeFiles)
{
    std::string large = dir_.Write("large.bin", Pattern(17u << 20, 9));
    std::vector<std::string> args = BuildArgs("Large", {files_[0], files_[1], files_[2], large});
    ToolRun build = Sspack(args);
    ASSERT_EQ(build.code, 0) << build.err;
    EXPECT_NE(build.err.find("reading " + large + ": 100%"), std::string::npos) << build.err;
    EXPECT_EQ(build.err.find("reading " + files_[0]), std::string::npos) << "small files show no progress";
    // Not a terminal: the finished line alone, no carriage returns; on a terminal, redrawn in place.
    EXPECT_EQ(build.err.find('\r'), std::string::npos) << build.err;
    EXPECT_EQ(build.err.find("reading " + large + ": 99%"), std::string::npos) << build.err;
    ToolRun shown = RunInProcess(args, true);  // a file is never a terminal to the programs
    ASSERT_EQ(shown.code, 0) << shown.err;
    size_t first = shown.err.find("\rreading " + large + ": ");
    ASSERT_NE(first, std::string::npos) << shown.err;
    EXPECT_NE(shown.err.find("\rreading " + large + ": ", first + 1), std::string::npos) << "redrawn: " << shown.err;
    EXPECT_NE(shown.err.find("\rreading " + large + ": 100%\n"), std::string::npos);
    // One line per entry: index, role, size, stored size, ratio, destination; then the total.
    EXPECT_NE(build.out.find("3     further file      17825792     17825792  100.0%  DataFolder\\FILE0000.BIN"),
              std::string::npos)
        << build.out;
    EXPECT_NE(build.out.find("total                   17833652     17833652  100.0%"), std::string::npos) << build.out;
}

TEST(SspackRealInstaller, BothInstallersTakeAPayloadTheirReaderFinds)
{
    for (const char *kind : {"win32", "win64"}) {
        SCOPED_TRACE(kind);
        std::string stub = std::string(SSP_BUILD_DIR) + "/../" + kind + "/app/installer.exe";
        if (!std::filesystem::exists(stub)) {
            std::printf("skipped for %s: %s not built\n", kind, stub.c_str());
            continue;
        }
        TempDir dir;
        BuildRequest request;
        request.stub = ReadFileBytes(stub);
        request.title = "Sample";
        request.licence = "Lizenz\r\n";
        request.files = FourFiles();
        BuiltInstaller built = BuildThroughFile(request);
        std::string path = dir.Write("installer.exe", built.installer);
        FileHandle f = OpenPayloadBlockAt(path.c_str(), std::string(kind) == "win64" ? OptionalHeaderPe32Plus
                                                                                     : OptionalHeaderPe32);
        ASSERT_NE(f, FileError);
        EXPECT_EQ(FileSeek(f, 0, SeekCur), (int32_t)built.blockOffset);
        FileClose(f);
        std::ostringstream out;
        EXPECT_TRUE(RunVerify(path, out)) << out.str();
    }
}

TEST_P(SspackCli, CompressedEntriesRoundTripAndAreCheckedByExpansion)
{
    // Text-like data that shrinks, so the entries stay compressed; its stream and the stored movie
    // span several of the chunks extract and verify read the installer in.
    Bytes text = GuiProgram(4000, 1);
    for (int i = 0; text.size() < 500000; i++) {
        std::string line = "line " + std::to_string(i * 7919 % 100003) + " of the screen saver's data, " +
                           std::to_string(i * 104729 % 99991) + "\r\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    files_[0] = dir_.Write("text.scr", text);
    Bytes movie = Pattern(3 * InstallerFile::ChunkSize + 5, 4);
    files_[3] = dir_.Write("movie.swf", movie);
    for (const char *mode : {"--compress", "--compress=fast", "--compress=best"}) {
        SCOPED_TRACE(mode);
        std::vector<std::string> args = WithFiles(BuildArgs("Packed", {mode, "--no-integrity"}));
        ASSERT_EQ(Sspack(args).code, 0);
        ExpectReferenceBytes(args);
        InstallerView view = ReadInstaller(dir_.Path("out.exe"));
        ASSERT_EQ(view.entries[0].ExpandedSize, text.size());
        EXPECT_LT(view.entries[0].StoredSize, text.size() / 2);
        EXPECT_GT(view.entries[0].StoredSize, (uint32_t)InstallerFile::ChunkSize);
        ASSERT_EQ(Sspack({"extract", dir_.Path("out.exe"), dir_.Path("x")}).code, 0);
        EXPECT_EQ(ReadFileBytes(dir_.Path("x/Packed.scr")), text);
        EXPECT_EQ(ReadFileBytes(dir_.Path("x/FILE0000.SWF")), movie);
        EXPECT_EQ(Sspack({"verify", dir_.Path("out.exe")}).code, 0);

        // A stream cut short by 16 bytes: the installer goes on with zero bits and writes the
        // recorded size, so extract writes the same and verify notes it.
        uint32_t cutSize = view.entries[0].StoredSize - 16;
        Bytes cut = ReadFileBytes(dir_.Path("out.exe"));
        PutU32(cut, view.tableOffset + 4, cutSize);
        WriteFileBytes(dir_.Path("cut.exe"), cut);
        ToolRun verify = Sspack({"verify", dir_.Path("cut.exe")});
        EXPECT_EQ(verify.code, 0) << verify.out;
        EXPECT_NE(verify.out.find("note  entry 0 (screen saver): the stream ends before its"), std::string::npos)
            << verify.out;
        ASSERT_EQ(Sspack({"extract", dir_.Path("cut.exe"), dir_.Path("y")}).code, 0);
        Bytes expected(text.size());
        ExpandToMemory(cut.data() + view.entries[0].DataOffset, cutSize, expected.data(), (uint32_t)expected.size(),
                       (int32_t)expected.size());
        EXPECT_EQ(ReadFileBytes(dir_.Path("y/Packed.scr")), expected);

        // A few stored bytes claiming far more than any stream of theirs can give.
        Bytes claim = ReadFileBytes(dir_.Path("out.exe"));
        PutU32(claim, view.tableOffset + 4, 100);
        PutU32(claim, view.tableOffset + 8, 100 * 24 + 31);
        WriteFileBytes(dir_.Path("claim.exe"), claim);
        verify = Sspack({"verify", dir_.Path("claim.exe")});
        EXPECT_NE(verify.out.find("a stream of 100 bytes cannot expand to 2431 bytes"), std::string::npos) << verify.out;
    }
}

TEST_P(SspackCli, AFileThatIsNoInstallerGetsOneLine)
{
    std::filesystem::create_directory(dir_.Path("folder"));
    const std::string NotOne = ": not an installer made for this format: ";
    struct Case {
        std::string path, says;
    };
    const Case cases[] = {
        {dir_.Path("none.exe"), dir_.Path("none.exe") + ": no such file"},
        {dir_.Path("folder"), dir_.Path("folder") + ": not a regular file"},
        {dir_.Write("empty.exe", Bytes{}), dir_.Path("empty.exe") + NotOne + "the file is empty"},
        {dir_.Write("noise.exe", Pattern(100000, 8)),
         dir_.Path("noise.exe") + NotOne + "no LASTRES payload block (the file is binary data without an MZ header)"},
        {dir_.Write("image.png", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13}),
         dir_.Path("image.png") + NotOne + "no LASTRES payload block (the file is a PNG image)"},
        {StubPath(Kind(), "no_lastres"), StubPath(Kind(), "no_lastres") + NotOne + "no LASTRES payload block (the file is a "},
    };
    // verify on every kind of file; list and extract share its opening, checked on two of them.
    for (const Case &c : cases) {
        std::vector<std::vector<std::string>> commands = {{"verify", c.path}};
        if (&c == &cases[0] || &c == &cases[4]) {
            commands.push_back({"list", c.path});
            commands.push_back({"extract", c.path, dir_.Path("x")});
        }
        for (const std::vector<std::string> &args : commands) {
            SCOPED_TRACE(args[0] + " " + c.path);
            ToolRun run = Sspack(args);
            EXPECT_EQ(run.code, 1);
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err.rfind("sspack: " + c.says, 0), 0u) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.Path("x")));
}

// Nothing named as input is ever written, however the output is spelled: the build is refused
// before anything is read, and every input keeps its bytes.
TEST_P(SspackCli, OutputThatIsAnInputIsRefused)
{
    std::string licence = dir_.Write("licence.txt", Bytes{'L', '\n'});
    std::filesystem::create_directory(dir_.Path("sub"));
    std::filesystem::create_symlink(files_[3], dir_.Path("movie-link.swf"));
    std::filesystem::create_hard_link(licence, dir_.Path("licence-link.txt"));
    struct Case {
        std::string out, role;
    };
    const Case cases[] = {
        {files_[0], "the screen saver " + files_[0]},
        {dir_.Path("./saver.dat"), "the data file " + files_[1]},
        {dir_.Path("sub/../uninstal.exe"), "the uninstaller " + files_[2]},
        {dir_.Path("movie-link.swf"), "further file 3 " + files_[3]},
        {dir_.Path("licence-link.txt"), "the licence " + licence},
        {stub_, "the stub " + stub_},
    };
    std::vector<std::string> inputs = files_;
    inputs.push_back(licence);
    inputs.push_back(stub_);
    std::vector<Bytes> before;
    for (const std::string &input : inputs) before.push_back(ReadFileBytes(input));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.out);
        std::vector<std::string> args = WithFiles(BuildArgs("T", {"--licence", licence}));
        args[6] = c.out;
        ToolRun run = Sspack(args);
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.err, "sspack: " + c.out + ": the same file as " + c.role +
                               "; sspack writes no file it reads: name another --out\n");
        for (size_t i = 0; i < inputs.size(); i++) EXPECT_EQ(ReadFileBytes(inputs[i]), before[i]) << inputs[i];
    }
    size_t left = 0;
    for (const auto &e : std::filesystem::directory_iterator(dir_.Path(""))) left += e.path().string().find(".sspack-") != std::string::npos;
    EXPECT_EQ(left, 0u) << "no temporary file is left";
}

// The integrity record is checked before anything is written: a changed byte in a compressed or a
// stored entry gives no file at all.
TEST_P(SspackCli, ExtractRefusesAFileItsIntegrityRecordRefuses)
{
    Bytes text = GuiProgram(4000, 1);
    for (int i = 0; text.size() < 100000; i++) {
        std::string line = "line " + std::to_string(i % 97) + " of the saver\r\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    files_[0] = dir_.Write("text.scr", text);
    ASSERT_EQ(Sspack(WithFiles(BuildArgs("Checked", {"--compress"}))).code, 0);
    InstallerView view = ReadInstaller(dir_.Path("out.exe"));
    ASSERT_NE(view.entries[0].ExpandedSize, 0u) << "entry 0 compressed";
    ASSERT_EQ(view.entries[3].ExpandedSize, 0u) << "entry 3 stored";
    for (size_t entry : {0, 3}) {
        SCOPED_TRACE(entry);
        Bytes file = ReadFileBytes(dir_.Path("out.exe"));
        file[view.entries[entry].DataOffset + view.entries[entry].StoredSize / 2] ^= 0x10;
        std::string bad = dir_.Write("flipped.exe", file);
        ToolRun run = Sspack({"extract", bad, dir_.Path("x")});
        EXPECT_EQ(run.code, 1);
        EXPECT_NE(run.err.find("flipped.exe: damaged installer: the integrity record does not match the file"),
                  std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir_.Path("x")));
    }
    ToolRun whole = Sspack({"extract", dir_.Path("out.exe"), dir_.Path("x")});
    EXPECT_EQ(whole.code, 0) << whole.err;
    EXPECT_EQ(ReadFileBytes(dir_.Path("x/Checked.scr")), text);
    EXPECT_NE(whole.out.find("\n4 files written to " + dir_.Path("x") + "\n"), std::string::npos) << whole.out;
}

// The installer shows the licence in Windows-1252: what an editor saves is converted, and what
// Windows-1252 cannot write is refused with its line.
TEST_P(SspackCli, LicenceIsStoredInWindows1252)
{
    auto utf16 = [](bool bigEndian, const std::u16string &text) {
        Bytes bytes = bigEndian ? Bytes{0xFE, 0xFF} : Bytes{0xFF, 0xFE};
        for (char16_t c : text) {
            bytes.push_back((uint8_t)(bigEndian ? c >> 8 : c));
            bytes.push_back((uint8_t)(bigEndian ? c : c >> 8));
        }
        return bytes;
    };
    auto bytes = [](const std::string &text) { return Bytes(text.begin(), text.end()); };
    struct Case {
        const char *what;
        Bytes file;
        std::string stored;  // or the message
    };
    const Case cases[] = {
        {"UTF-8", bytes("Lizenz f\xC3\xBCr \xE2\x82\xAC\n"), "Lizenz f\xFCr \x80\r\n"},
        {"UTF-8 with BOM", bytes("\xEF\xBB\xBF\xC3\x84\r\nb\n"), "\xC4\r\nb\r\n"},
        {"UTF-16 LE", utf16(false, u"\u00C4 \u20AC\nb"), "\xC4 \x80\r\nb"},
        {"UTF-16 BE", utf16(true, u"\u00C4\n"), "\xC4\r\n"},
        {"Windows-1252", bytes("f\xFCr\n"), "f\xFCr\r\n"},
        {"outside Windows-1252", bytes("a\nb \xE2\x98\x83\n"),
         "licence.txt: line 2 holds '\xE2\x98\x83' (U+2603), which Windows-1252 cannot write"},
        {"UTF-16 outside Windows-1252", utf16(false, u"a\r\n\r\n\u0394"), "line 3 holds '\xCE\x94' (U+0394)"},
        {"UTF-16 without BOM", Bytes{'a', 0, '\n', 0}, "line 1 holds a NUL byte"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(dir_.Path("out.exe"));
        ToolRun run = Sspack(WithFiles(BuildArgs("T", {"--licence", dir_.Write("licence.txt", c.file)})));
        if (run.code == 0) {
            EXPECT_EQ(ReadInstaller(dir_.Path("out.exe")).licence, c.stored);
        } else {
            EXPECT_EQ(run.code, 1);
            EXPECT_NE(run.err.find(c.stored), std::string::npos) << run.err;
            EXPECT_FALSE(std::filesystem::exists(dir_.Path("out.exe")));
        }
    }
}

// verify never expands entries whose data overlap: 1 MB of table whose every entry claims the same
// compressed stream is judged in time that grows with the file, not with its square.
TEST(SspackVerify, OverlappingEntriesAreNotExpanded)
{
    PACKTEST_NEED_STUB("win32", "good");
    Bytes text;
    for (int i = 0; text.size() < 20000; i++) {
        std::string line = "line " + std::to_string(i % 89) + " of the saver\r\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    BuildRequest request = Request("win32", "Hostile", {File("saver.scr", text), File("saver.dat", Pattern(300, 2))});
    request.compression = CompressMode::Best;
    request.integrityRecord = false;
    BuiltInstaller built = BuildThroughFile(request);
    const PayloadEntry &stream = built.entries[0];
    ASSERT_NE(stream.ExpandedSize, 0u);
    uint32_t table = built.blockOffset + TableOffsetWithoutLicence;
    uint32_t count = (1u << 20) / PayloadEntrySize;
    uint32_t streamAt = table + (count + 1) * PayloadEntrySize;
    Bytes file(built.installer.begin(), built.installer.begin() + table);
    for (uint32_t i = 0; i < count; i++) {
        Bytes row(PayloadEntrySize, ' ');
        PutU32(row, 0, streamAt);
        PutU32(row, 4, stream.StoredSize);
        PutU32(row, 8, stream.ExpandedSize);
        std::memcpy(&row[12], ".BIN", 4);
        file.insert(file.end(), row.begin(), row.end());
    }
    file.resize(streamAt, 0);
    file.insert(file.end(), built.installer.begin() + stream.DataOffset,
                built.installer.begin() + stream.DataOffset + stream.StoredSize);
    TempDir dir;
    std::string path = dir.Write("hostile.exe", file);
    std::ostringstream out;
    std::clock_t start = std::clock();
    EXPECT_FALSE(RunVerify(path, out));
    double seconds = (double)(std::clock() - start) / CLOCKS_PER_SEC;
    EXPECT_LT(seconds, 2.0) << "processor time for " << file.size() << " bytes";
    EXPECT_NE(out.str().find("FAIL  entry 37448 (further file): its data overlap those of entry"), std::string::npos);
    EXPECT_EQ(out.str().find("expands to"), std::string::npos);
}
