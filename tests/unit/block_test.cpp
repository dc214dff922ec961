// The installer's payload reader on installers made by the authoring tool from real PE32 and
// PE32+ stubs: where it finds the licence, the title and the table, and how a walk ends.
#include <gtest/gtest.h>

#include <cstring>

#include "core/host_hooks.h"
#include "payload/block.h"
#include "sspack/format/byte_io.h"
#include "sspack/format/pe_image.h"
#include "sspack_fixture.h"

using namespace packtest;

namespace {

struct TableWalk {
    std::vector<PayloadEntry> entries;
    int end = PayloadNext;  // how the walk ended
};

// The walk of the installer: past licence, title and EntryCount, then records up to the terminator.
TableWalk WalkTable(const std::string &path, OptionalHeaderRule rule = OptionalHeaderOfMagic)
{
    TableWalk walk;
    FileHandle f = OpenPayloadBlockAt(path.c_str(), rule);
    if (f == FileError) {
        walk.end = PayloadDamaged;
        return walk;
    }
    if (!SkipToPayloadTable(f)) {
        walk.end = PayloadDamaged;
    } else {
        PayloadEntry entry;
        while (walk.entries.size() < 100 && (walk.end = ReadPayloadEntry(f, &entry)) == PayloadNext)
            walk.entries.push_back(entry);
    }
    FileClose(f);
    return walk;
}

int32_t Position(FileHandle f) { return FileSeek(f, 0, SeekCur); }

std::string TitleThroughOwnPath(const std::string &path, char fill = '#')
{
    char buffer[TitleFieldSize];
    std::memset(buffer, fill, sizeof buffer);
    HostHoldOwnFile(path.c_str());
    ReadScreenSaverTitle(buffer);
    HostHoldOwnFile(nullptr);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

class PayloadReader : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        PACKTEST_NEED_STUB(GetParam(), "good");
        ResetHostFileHooks();
    }
    std::string Kind() const { return GetParam(); }
    // Builds and writes an installer; returns its path.
    std::string Make(const BuildRequest &request, BuiltInstaller *result = nullptr)
    {
        BuiltInstaller built = BuildThroughFile(request);
        if (result) *result = built;
        return dir_.Write("installer.exe", built.installer);
    }
    TempDir dir_;
};

}  // namespace

TEST_P(PayloadReader, LicenceMovesTitleAndTableByItsLength)
{
    for (size_t length : {0u, 1u, 1000u, 65535u}) {
        SCOPED_TRACE(length);
        std::string licence(length, 'L');
        BuiltInstaller built;
        std::string path = Make(Request(Kind(), "Sample", FourFiles(), licence), &built);

        FileHandle f = OpenPayloadBlockAt(path.c_str(), OptionalHeaderOfMagic);
        ASSERT_NE(f, FileError);
        EXPECT_EQ(Position(f), (int32_t)built.blockOffset);
        uint8_t word[2];
        ASSERT_TRUE(FileReadAll(f, word, 2));
        EXPECT_EQ(word[0] | word[1] << 8, (int)length);
        ASSERT_EQ(FileSeek(f, (int32_t)length, SeekCur), (int32_t)(built.blockOffset + 2 + length));
        char title[TitleFieldSize];
        ASSERT_TRUE(FileReadAll(f, title, sizeof title));
        EXPECT_STREQ(title, "Sample");
        FileClose(f);

        f = OpenPayloadBlockAt(path.c_str(), OptionalHeaderOfMagic);
        ASSERT_TRUE(SkipToPayloadTable(f));
        EXPECT_EQ(Position(f), (int32_t)(built.blockOffset + TableOffsetWithoutLicence + length));
        FileClose(f);

        EXPECT_EQ(TitleThroughOwnPath(path), "Sample");
        TableWalk walk = WalkTable(path);
        EXPECT_EQ(walk.end, PayloadEnd);
        ASSERT_EQ(walk.entries.size(), 4u);
        EXPECT_EQ(walk.entries[3].StoredSize, 999u);
    }
}

TEST_P(PayloadReader, TitleOf259CharactersFillsTheFieldUpToItsNul)
{
    std::string title(259, 'T');
    title[0] = 'A';
    title[258] = 'Z';
    std::string path = Make(Request(Kind(), title, FourFiles()));
    EXPECT_EQ(TitleThroughOwnPath(path), title);
}

TEST_P(PayloadReader, TitleFieldWithoutNulIsHandedOutTerminated)
{
    BuiltInstaller built;
    std::string path = Make(Request(Kind(), "Sample", FourFiles()), &built);
    Bytes file = built.installer;
    std::memset(file.data() + built.blockOffset + LicenceLengthSize, 'x', TitleFieldSize);
    WriteFileBytes(path, file);
    EXPECT_EQ(TitleThroughOwnPath(path), std::string(259, 'x'));
}

TEST_P(PayloadReader, TitleKeepsItsTrailingBlanks)
{
    std::string path = Make(Request(Kind(), "Sample  ", FourFiles()));
    EXPECT_EQ(TitleThroughOwnPath(path), "Sample  ");
}

TEST_P(PayloadReader, UnreachableBlockLeavesTheTitleBufferAsItWas)
{
    EXPECT_EQ(TitleThroughOwnPath(dir_.Path("missing.exe"), '#'), std::string(TitleFieldSize, '#'));
    std::string notPe = dir_.Write("text.exe", Bytes(600, 'a'));
    EXPECT_EQ(TitleThroughOwnPath(notPe, '#'), std::string(TitleFieldSize, '#'));
}

TEST_P(PayloadReader, TableWhoseFirstEntryIsTheTerminatorHasNoEntries)
{
    std::string path = Make(Request(Kind(), "Empty", {}));
    TableWalk walk = WalkTable(path);
    EXPECT_EQ(walk.end, PayloadEnd);
    EXPECT_TRUE(walk.entries.empty());
}

TEST_P(PayloadReader, TerminatorDecidesNotEntryCount)
{
    BuiltInstaller built;
    std::string path = Make(Request(Kind(), "Sample", FourFiles()), &built);
    for (uint16_t count : {0, 3, 5, 65535}) {
        SCOPED_TRACE(count);
        Bytes file = built.installer;
        PutU16(file, built.blockOffset + LicenceLengthSize + TitleFieldSize, count);
        WriteFileBytes(path, file);
        TableWalk walk = WalkTable(path);
        EXPECT_EQ(walk.end, PayloadEnd);
        EXPECT_EQ(walk.entries.size(), 4u);
    }
}

TEST_P(PayloadReader, BlockPastTheSectionsRawDataReadsTheSame)
{
    // The stub's resource section has a few hundred bytes behind the placeholder: three entries
    // fit, seven and a long licence do not.
    for (size_t count : {3u, 7u}) {
        SCOPED_TRACE(count);
        std::vector<InputFile> files;
        for (size_t i = 0; i < count; i++) files.push_back(File("f" + std::to_string(i) + ".bin", Pattern(100 + i, (uint32_t)i)));
        BuiltInstaller built;
        std::string path = Make(Request(Kind(), "Grown", files), &built);
        EXPECT_EQ(built.blockOutgrewSection, count == 7);
        TableWalk walk = WalkTable(path);
        EXPECT_EQ(walk.end, PayloadEnd);
        ASSERT_EQ(walk.entries.size(), count);
        for (size_t i = 0; i < count; i++) {
            const PayloadEntry &e = walk.entries[i];
            ASSERT_TRUE(RangeInside(e.DataOffset, e.StoredSize, built.installer.size()));
            EXPECT_GE(e.DataOffset, built.blockOffset + built.blockSize) << "data must not overlap the block";
            Bytes bytes = ReadFileBytes(files[i].path);
            EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), built.installer.begin() + e.DataOffset));
        }
    }
    BuiltInstaller built;
    std::string path = Make(Request(Kind(), "Licensed", FourFiles(), std::string(5000, 'L')), &built);
    EXPECT_TRUE(built.blockOutgrewSection);
    EXPECT_EQ(TitleThroughOwnPath(path), "Licensed");
    EXPECT_EQ(WalkTable(path).entries.size(), 4u);
}

TEST_P(PayloadReader, EndOfFileBeforeTheTerminatorReportsDamage)
{
    BuiltInstaller built;
    std::string path = Make(Request(Kind(), "Cut", FourFiles()), &built);
    uint32_t table = built.blockOffset + TableOffsetWithoutLicence;
    struct Cut {
        uint32_t length;
        size_t entriesBefore;
    };
    // Inside the title, inside the count, at a record boundary, inside a record, inside the terminator.
    const Cut cuts[] = {{built.blockOffset + 100, 0}, {table - 1, 0}, {table, 0}, {table + 10, 0},
                        {table + 2 * PayloadEntrySize, 2}, {table + 3 * PayloadEntrySize + 27, 3},
                        {table + 4 * PayloadEntrySize + 5, 4}};
    for (const Cut &cut : cuts) {
        SCOPED_TRACE(cut.length);
        WriteFileBytes(path, Bytes(built.installer.begin(), built.installer.begin() + cut.length));
        TableWalk walk = WalkTable(path);
        EXPECT_EQ(walk.end, PayloadDamaged);
        EXPECT_EQ(walk.entries.size(), cut.entriesBefore) << "no record may be repeated";
    }
}

TEST_P(PayloadReader, ShortReadsNeverLeadToAWrongBlock)
{
    // Every budget either lets the whole walk through or ends it as unreachable or damaged.
    std::string path = Make(Request(Kind(), "Budget", FourFiles()));
    for (int64_t budget = 0; budget < 600; budget += 7) {
        SCOPED_TRACE(budget);
        ResetHostFileHooks();
        HostFiles.readBudget = budget;
        TableWalk walk = WalkTable(path);
        if (walk.end == PayloadEnd) {
            ASSERT_EQ(walk.entries.size(), 4u);
            EXPECT_EQ(walk.entries[1].StoredSize, 300u);
        } else {
            EXPECT_EQ(walk.end, PayloadDamaged);
            EXPECT_LE(walk.entries.size(), 4u);
        }
    }
    ResetHostFileHooks();
}

TEST_P(PayloadReader, OptionalHeaderSizeIsTheFormatsOwn)
{
    BuiltInstaller built;
    std::string path = Make(Request(Kind(), "Sample", FourFiles()), &built);
    OptionalHeaderRule own = Kind() == "win64" ? OptionalHeaderPe32Plus : OptionalHeaderPe32;
    OptionalHeaderRule other = Kind() == "win64" ? OptionalHeaderPe32 : OptionalHeaderPe32Plus;
    FileHandle f = FileOpenRead(path.c_str());
    ASSERT_NE(f, FileError);
    PeWalk walk{};
    EXPECT_EQ(WalkPeHeaders(ReadAtHandle, &f, own, &walk), PeWalkBlock);
    EXPECT_EQ(walk.blockOffset, built.blockOffset);
    walk = PeWalk{};
    EXPECT_EQ(WalkPeHeaders(ReadAtHandle, &f, OptionalHeaderOfMagic, &walk), PeWalkBlock);
    EXPECT_EQ(walk.blockOffset, built.blockOffset);
    // The other format's size misplaces the section table: the block is not found there.
    walk = PeWalk{};
    EXPECT_FALSE(WalkPeHeaders(ReadAtHandle, &f, other, &walk) == PeWalkBlock && walk.blockOffset == built.blockOffset);
    FileClose(f);
}

TEST_P(PayloadReader, SectionNameIsComparedWithinItsEightBytes)
{
    BuiltInstaller built;
    std::string path = Make(Request(Kind(), "Sample", FourFiles()), &built);
    PeImage image = ParsePeImage(built.installer);
    uint32_t name = image.sections[image.resourceSection].headerOffset;
    struct Case {
        const char *name;  // eight bytes
        bool found;
    };
    const Case cases[] = {{".rsrc\0\0\0", true}, {".rsrc\0xy", true}, {".rsrcxyz", false}, {".rsr\0\0\0\0", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = built.installer;
        std::memcpy(file.data() + name, c.name, 8);
        WriteFileBytes(path, file);
        EXPECT_EQ(WalkTable(path).end == PayloadEnd, c.found);
    }
}

INSTANTIATE_TEST_SUITE_P(Stubs, PayloadReader, ::testing::Values("win32", "win64"));
