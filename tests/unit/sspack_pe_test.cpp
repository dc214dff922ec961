// The PE model on the toolchains' own stubs: format, sections and the resource tree as windres
// lays it out, and images whose structures point outside the file.
#include <gtest/gtest.h>

#include "sspack/format/layout_rule.h"
#include "sspack/format/pe_image.h"
#include "sspack/tool_error.h"
#include "sspack_fixture.h"

using namespace packtest;

class PeModel : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override { PACKTEST_NEED_STUB(GetParam(), "with_dialog"); }
    PeImage Stub(const std::string &variant) { return ParsePeImage(ReadFileBytes(StubPath(GetParam(), variant))); }
    bool Is64() const { return std::string(GetParam()) == "win64"; }
};

TEST_P(PeModel, ReadsFormatSectionsAndTheWholeTree)
{
    PeImage image = Stub("with_dialog");
    EXPECT_EQ(image.magic, Is64() ? 0x20B : 0x10B);
    EXPECT_EQ(image.machine, Is64() ? 0x8664 : 0x14C);
    EXPECT_EQ(image.optionalHeaderSize, image.StandardOptionalHeaderSize());
    ASSERT_GE(image.resourceSection, 0);
    EXPECT_EQ(image.sections[image.resourceSection].name, ".rsrc");
    EXPECT_EQ(image.resourceDirectoryRva, image.sections[image.resourceSection].virtualAddress);

    // Named types sort before numbered ones, numbers ascending.
    ASSERT_EQ(image.resources.size(), 3u);
    EXPECT_EQ(image.resources[0].key, ResourceKey::Name("LASTRES"));
    EXPECT_EQ(image.resources[1].key, ResourceKey::Id(5));
    EXPECT_EQ(image.resources[2].key, ResourceKey::Id(6));

    const ResourceData *dialog = FindResource(image, ResourceKey::Id(5), ResourceKey::Id(5), 1033);
    ASSERT_NE(dialog, nullptr);
    ASSERT_GE(dialog->fileOffset, 0);
    Bytes file = ReadFileBytes(StubPath(GetParam(), "with_dialog"));
    ASSERT_TRUE(RangeInside(dialog->fileOffset, dialog->size, file.size()));
    EXPECT_EQ(GetU32(file, dialog->fileOffset), 0x80000000u | 0x40u) << "style WS_POPUP | DS_SETFONT";
    EXPECT_EQ(GetU16(file, dialog->fileOffset + 14), 100) << "width";
    EXPECT_EQ(FindResource(image, ResourceKey::Id(5), ResourceKey::Id(5), 1031), nullptr);

    const ResourceData *placeholder = FindResource(image, ResourceKey::Name("LASTRES"), ResourceKey::Id(1000), 1033);
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(placeholder->size, 4u);
    // windres puts the named type's data first: this stub breaks the rule.
    EXPECT_LT(placeholder->rva, dialog->rva);
    EXPECT_FALSE(LayoutRuleViolations(image).empty());
    EXPECT_TRUE(LayoutRuleViolations(Stub("good")).empty());
}

TEST_P(PeModel, SiteOfTheBlockIsTheRulesOffset)
{
    PeImage image = Stub("good");
    PayloadSite site = CheckLayoutRule(image);
    const PeSection &rsrc = image.sections[image.resourceSection];
    const ResourceData &data = image.resources[0].names[0].languages[0].data;
    EXPECT_EQ(site.blockOffset, data.rva - rsrc.virtualAddress + rsrc.rawPointer);
    EXPECT_EQ((int64_t)site.blockOffset, data.fileOffset);
    EXPECT_EQ(site.rawEnd, rsrc.rawPointer + rsrc.rawSize);
    EXPECT_TRUE(site.mayOutgrow) << "the resource section is the stub's last";
}

TEST_P(PeModel, StructuresOutsideTheFileAreReportedAsMalformed)
{
    Bytes good = ReadFileBytes(StubPath(GetParam(), "good"));
    PeImage image = ParsePeImage(good);
    uint32_t pe = image.peHeaderOffset;
    uint32_t rsrcHeader = image.sections[image.resourceSection].headerOffset;
    uint32_t root = image.sections[image.resourceSection].rawPointer;
    struct Case {
        const char *what;
        size_t at;
        uint32_t value;
        int width;
    };
    const Case cases[] = {
        {"PE header beyond the end", 0x3C, 0x7FFFFFF0u, 4},
        {"no PE signature", pe, 0x00004551u, 4},
        {"unknown magic", pe + 24, 0x107, 2},
        {"section table beyond the end", pe + 6, 0xFFFF, 2},
        {"optional header declared beyond the end", pe + 20, 0xFFF0, 2},
        {"resource data beyond the end", rsrcHeader + 20, 0x7FFFFF00u, 4},
        {"root entry count huge", root + 14, 0xFFFF, 2},
        {"type subdirectory outside the section", root + 20, 0x8FFFFFF0u, 4},
        {"name string outside the section", root + 16, 0xFFFFFFF0u, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = good;
        if (c.width == 2) PutU16(file, c.at, (uint16_t)c.value);
        else PutU32(file, c.at, c.value);
        EXPECT_THROW(ParsePeImage(file), ToolError);
    }
    EXPECT_THROW(ParsePeImage(Bytes(good.begin(), good.begin() + 0x30)), ToolError);
    EXPECT_THROW(ParsePeImage(Bytes(good.begin(), good.begin() + rsrcHeader + 20)), ToolError);
}

TEST_P(PeModel, ResourceNamesAreBoundedInAllNotOnlyByTheirNumber)
{
    Bytes file = ReadFileBytes(StubPath(GetParam(), "good"));
    PeImage image = ParsePeImage(file);
    const PeSection &rsrc = image.sections[image.resourceSection];
    ASSERT_EQ((uint64_t)rsrc.rawPointer + rsrc.rawSize, file.size()) << "the resource section ends the stub";
    // Named types that all name one string of 65,535 characters appended to the section: one such
    // name is possible, two exceed what the model reads of names in all.
    const uint32_t longest = 65535, root = rsrc.rawPointer, name = rsrc.rawSize;
    uint32_t subdirectory = GetU32(file, root + ResourceDirectoryHeaderSize + 4);  // LASTRES's own
    file.resize(file.size() + 2 + 2 * longest, 'a');
    PutU16(file, root + name, (uint16_t)longest);
    PutU32(file, rsrc.headerOffset + 16, rsrc.rawSize + 2 + 2 * longest);
    PutU16(file, root + 14, 0);  // no numbered types
    for (uint32_t i = 0; i < 2; i++) {
        PutU32(file, root + ResourceDirectoryHeaderSize + 8 * i, 0x80000000u | name);
        PutU32(file, root + ResourceDirectoryHeaderSize + 8 * i + 4, subdirectory);
    }
    PutU16(file, root + 12, 1);
    std::vector<std::string> violations = LayoutRuleViolations(ParsePeImage(file));
    ASSERT_FALSE(violations.empty());
    EXPECT_NE(violations[0].find("...\" (65535 characters), not \"LASTRES\""), std::string::npos) << violations[0].substr(0, 200);
    EXPECT_LT(violations[0].size(), 200u) << "a report names only the start of a long name";
    PutU16(file, root + 12, 2);
    EXPECT_THROW(ParsePeImage(file), ToolError);
}

INSTANTIATE_TEST_SUITE_P(Stubs, PeModel, ::testing::Values("win32", "win64"));
