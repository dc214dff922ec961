// The installer written file by file, in chunks: every byte where the installer's reader and its
// integrity check look for it, and an output that replaces its input only once it is whole.
#include <gtest/gtest.h>

#include "lzh/encoder.h"
#include "payload/crc32.h"
#include "sspack/format/block_format.h"
#include "sspack/pack/build_installer.h"
#include "sspack/format/pe_image.h"
#include "sspack/tool_error.h"
#include "sspack_fixture.h"

using namespace packtest;

namespace {

// Text that shrinks, so entries stay compressed; noise does not, so it falls back to stored.
Bytes Text(size_t size)
{
    Bytes text;
    for (int i = 0; text.size() < size; i++) {
        std::string line = "line " + std::to_string(i % 89) + " of the saver's settings\r\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    text.resize(size);
    return text;
}

}  // namespace

TEST(SspackBuildInstaller, WritesTheStubTheBlockTheEntriesAndTheRecordByteForByte)
{
    PACKTEST_NEED_STUB("win32", "good");
    std::vector<Bytes> contents = {Text(300000), Pattern(140000, 5), Text(40), Pattern(1, 6)};
    std::vector<InputFile> files = {File("saver.scr", contents[0]), File("saver.dat", contents[1]),
                                    File("uninst.exe", contents[2]), File("extra.bin", contents[3])};
    struct Case {
        CompressMode compression;
        bool integrity;
    } cases[] = {{CompressMode::Stored, true}, {CompressMode::Fast, true}, {CompressMode::Best, true},
                 {CompressMode::Best, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (int)c.compression << " integrity " << c.integrity);
        BuildRequest request = Request("win32", "Gleich", files, "Lizenz\r\n");
        request.compression = c.compression;
        request.integrityRecord = c.integrity;
        BuiltInstaller built = BuildThroughFile(request);

        // The installer put together here from its parts: the stub with CheckSum zero and room for
        // the block, each entry's data back to back (the coder's stream where it is smaller), the
        // block, zeros up to a multiple of 8, and the CRC over all with its own field as zero.
        Bytes expected = request.stub;
        PutU32(expected, ParsePeImage(expected).checkSumOffset, 0);
        uint64_t blockEnd = built.blockOffset + built.blockSize;
        expected.resize(std::max<uint64_t>(expected.size(), blockEnd), 0);
        ASSERT_EQ(built.entries.size(), contents.size());
        for (size_t i = 0; i < contents.size(); i++) {
            Bytes data = contents[i];
            if (c.compression != CompressMode::Stored) {
                Bytes stream = CompressBuffer(c.compression, data.data(), data.size());
                if (stream.size() < data.size()) data = stream;
            }
            EXPECT_EQ(built.entries[i].DataOffset, expected.size()) << i;
            EXPECT_EQ(built.entries[i].StoredSize, data.size()) << i;
            EXPECT_EQ(built.entries[i].ExpandedSize, data == contents[i] ? 0u : contents[i].size()) << i;
            expected.insert(expected.end(), data.begin(), data.end());
        }
        Bytes block = ComposeBlock(request.licence, request.title, built.entries, c.integrity);
        ASSERT_EQ(block.size(), built.blockSize);
        std::copy(block.begin(), block.end(), expected.begin() + built.blockOffset);
        expected.resize((expected.size() + 7) / 8 * 8, 0);
        if (c.integrity) PutU32(expected, blockEnd - 4, Crc32Update(0, expected.data(), expected.size()));
        EXPECT_EQ(built.installerSize, expected.size());
        EXPECT_EQ(built.installer, expected);
        if (c.compression != CompressMode::Stored) {
            EXPECT_NE(built.entries[0].ExpandedSize, 0u) << "the text stays compressed";
            EXPECT_EQ(built.entries[1].ExpandedSize, 0u) << "noise falls back to stored";
        }
    }
}

TEST(SspackBuildInstaller, AnInputMayBeTheOutputAndFailuresLeaveNoFile)
{
    PACKTEST_NEED_STUB("win32", "good");
    TempDir dir;
    std::vector<InputFile> files = {File("saver.scr", Text(5000))};
    files[0].path = dir.Write("saver.scr", Text(5000));
    BuildRequest request = Request("win32", "Selbst", files);
    request.compression = CompressMode::Best;
    Bytes expected = BuildThroughFile(request).installer;
    BuildInstallerFile(request, files[0].path);  // reads the file it replaces
    EXPECT_EQ(ReadFileBytes(files[0].path), expected);

    // A file gone between the check and the build: nothing is written, no temporary is left.
    request.files[0].path = dir.Path("missing.scr");
    EXPECT_THROW(BuildInstallerFile(request, dir.Path("none.exe")), ToolError);
    int left = 0;
    for (const auto &e : std::filesystem::directory_iterator(dir.Path("")))
        if (e.path().filename() != "saver.scr") left++;
    EXPECT_EQ(left, 0);
}
