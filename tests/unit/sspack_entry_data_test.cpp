// The authoring tool's entry data over the coder and the installer's decoder: compressed only when
// smaller, given back byte for byte, and damaged streams refused rather than expanded silently.
#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <string>
#include "lzh/encoder.h"
#include "sspack/format/entry_data.h"
#include "sspack/tool_error.h"
#include "sspack_fixture.h"

using namespace packtest;

namespace {

Bytes Text(size_t n)
{
    std::string s;
    while (s.size() < n) s += "Der Bildschirmschoner benötigt den Flash Player. ";
    s.resize(n);
    return Bytes(s.begin(), s.end());
}

TEST(SspackEntryData, CompressesWhatShrinksAndStoresTheRest)
{
    PACKTEST_NEED_STUB("win32", "good");
    std::mt19937 rng(1);
    auto noise = [&](size_t n, unsigned range) {
        Bytes b(n);
        for (auto &x : b) x = (uint8_t)(rng() % range);
        return b;
    };
    auto join = [](Bytes a, const Bytes &b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    // Past two probes of noise the coder is not asked; what follows must still be looked at.
    Bytes longNoise = noise(3 * IncompressibleProbe, 256);
    // Noise in which every thousand bytes end with a hundred from a thousand before: its bytes are as
    // evenly spread as noise, only the repeats give it away.
    Bytes repeated = noise(100000, 256);
    for (size_t i = 1900; i < repeated.size(); i += 1000) std::copy_n(&repeated[i - 1000], 100, &repeated[i]);
    struct {
        const char *what;
        Bytes file;
        CompressMode mode;
        bool compressed;
        size_t percent;  // of the file, at most, when compressed
    } cases[] = {
        {"text, best", Text(50000), CompressMode::Best, true, 20},
        {"text, fast", Text(50000), CompressMode::Fast, true, 20},
        {"text, stored", Text(50000), CompressMode::Stored, false, 0},
        {"noise does not shrink", noise(20000, 256), CompressMode::Best, false, 0},
        {"long noise does not shrink", longNoise, CompressMode::Fast, false, 0},
        {"long noise, then noise with repeats", join(longNoise, repeated), CompressMode::Fast, true, 99},
        {"long noise, then bytes of seven bits", join(longNoise, noise(100000, 128)), CompressMode::Fast, true, 99},
        {"one byte does not shrink", Bytes{0x41}, CompressMode::Fast, false, 0},
    };
    for (auto &c : cases) {
        // Each file the one entry of an installer built as sspack builds it.
        BuildRequest request = Request("win32", "Entry", {File("entry.bin", c.file)});
        request.compression = c.mode;
        BuiltInstaller built = BuildThroughFile(request);
        const PayloadEntry &entry = built.entries[0];
        auto data = built.installer.begin() + entry.DataOffset;
        Bytes stored(data, data + entry.StoredSize);
        if (c.compressed) {
            EXPECT_EQ(entry.ExpandedSize, c.file.size()) << c.what;
            EXPECT_LT(stored.size(), c.file.size() * c.percent / 100) << c.what;
        } else {
            EXPECT_EQ(entry.ExpandedSize, 0u) << c.what;
            EXPECT_TRUE(stored == c.file) << c.what;
        }
        EXPECT_TRUE(RestoreEntryData(stored, entry.ExpandedSize) == c.file) << c.what;
    }
}

TEST(SspackEntryData, DamagedStreamsAreRefused)
{
    Bytes file = Text(30000);
    Bytes stored = CompressBuffer(CompressMode::Best, file.data(), file.size());
    uint32_t expandedSize = (uint32_t)file.size();
    ASSERT_LT(stored.size(), file.size());

    // Used-up stored bytes: zero bits follow, as in the installer, and the result is noted.
    // One byte 0x00 for 31 bytes: the literal 0x38, then a match of 30 with D = 0.
    std::string note;
    EXPECT_EQ(RestoreEntryData(Bytes{0x00}, 31, &note), Bytes(31, 0x38));
    EXPECT_NE(note.find("the stream ends before its 31 bytes"), std::string::npos) << note;
    Bytes cut(stored.begin(), stored.begin() + stored.size() / 2);
    EXPECT_EQ(RestoreEntryData(cut, expandedSize, &note).size(), expandedSize);
    EXPECT_FALSE(note.empty());
    RestoreEntryData(stored, expandedSize, &note);
    EXPECT_EQ(note, "") << "a whole stream";
    EXPECT_THROW(RestoreEntryData(Bytes{0xCA, 0x00, 0x00}, 3), ToolError) << "the last match runs past the size";
    EXPECT_EQ(RestoreEntryData(Bytes{0xCA, 0x00, 0x00}, 5), Bytes(5, ' '));
    EXPECT_THROW(RestoreEntryData(stored, 0x80000000u), ToolError) << "a size the installer reads as negative";
}

}  // namespace
