// The installer written file by file, in chunks, is the installer the in-memory build makes.
#include <gtest/gtest.h>

#include "sspack_fixture.h"
#include "tools/build_to_file.h"
#include "tools/installer_reader.h"
#include "tools/tool_error.h"

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

TEST(SspackStreamBuild, WritesTheSameBytesAsTheInMemoryBuild)
{
    PACKTEST_NEED_STUB("win32", "good");
    TempDir dir;
    std::vector<InputFile> files = {File("saver.scr", Text(300000)), File("saver.dat", Pattern(140000, 5)),
                                    File("uninst.exe", Text(40)), File("extra.bin", Pattern(1, 6))};
    for (InputFile &f : files) f.path = dir.Write(f.name, f.bytes);
    struct Case {
        Compression compression;
        bool integrity;
    } cases[] = {{Compression::Stored, true}, {Compression::Fast, true}, {Compression::Best, true},
                 {Compression::Best, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (int)c.compression << " integrity " << c.integrity);
        BuildRequest request = Request("win32", "Gleich", files, "Lizenz\r\n");
        request.compression = c.compression;
        request.integrityRecord = c.integrity;
        BuildResult memory = BuildInstaller(request);
        std::string out = dir.Path("streamed.exe");
        BuildResult streamed = BuildInstallerFile(request, out);
        EXPECT_EQ(streamed.installerSize, memory.installer.size());
        EXPECT_EQ(ReadWholeFile(out), memory.installer);
        ASSERT_EQ(streamed.entries.size(), memory.entries.size());
        for (size_t i = 0; i < memory.entries.size(); i++) {
            EXPECT_EQ(streamed.entries[i].StoredSize, memory.entries[i].StoredSize) << i;
            EXPECT_EQ(streamed.entries[i].ExpandedSize, memory.entries[i].ExpandedSize) << i;
        }
        if (c.compression != Compression::Stored) {
            EXPECT_NE(memory.entries[0].ExpandedSize, 0u) << "the text stays compressed";
            EXPECT_EQ(memory.entries[1].ExpandedSize, 0u) << "noise falls back to stored";
        }
    }
}

TEST(SspackStreamBuild, AnInputMayBeTheOutputAndFailuresLeaveNoFile)
{
    PACKTEST_NEED_STUB("win32", "good");
    TempDir dir;
    std::vector<InputFile> files = {File("saver.scr", Text(5000))};
    files[0].path = dir.Write("saver.scr", files[0].bytes);
    BuildRequest request = Request("win32", "Selbst", files);
    request.compression = Compression::Best;
    Bytes expected = BuildInstaller(request).installer;
    BuildInstallerFile(request, files[0].path);  // reads the file it replaces
    EXPECT_EQ(ReadWholeFile(files[0].path), expected);

    // A file gone between the check and the build: nothing is written, no temporary is left.
    request.files[0].path = dir.Path("missing.scr");
    EXPECT_THROW(BuildInstallerFile(request, dir.Path("none.exe")), ToolError);
    int left = 0;
    for (const auto &e : std::filesystem::directory_iterator(dir.Path("")))
        if (e.path().filename() != "saver.scr") left++;
    EXPECT_EQ(left, 0);
}
