// The authoring tool's entry data over the coder and the installer's decoder: compressed only when
// smaller, given back byte for byte, and damaged streams refused rather than expanded silently.
#include <gtest/gtest.h>
#include <random>
#include <string>
#include "tools/entry_data.h"
#include "tools/tool_error.h"

namespace {

Bytes Text(size_t n)
{
    std::string s;
    while (s.size() < n) s += "Der Bildschirmschoner benötigt den Flash Player. ";
    s.resize(n);
    return Bytes(s.begin(), s.end());
}

TEST(LzhEntryData, CompressesWhatShrinksAndStoresTheRest)
{
    std::mt19937 rng(1);
    Bytes noise(20000);
    for (auto &b : noise) b = (uint8_t)rng();
    struct {
        const char *what;
        Bytes file;
        Compression mode;
        bool compressed;
    } cases[] = {
        {"text, best", Text(50000), Compression::Best, true},
        {"text, fast", Text(50000), Compression::Fast, true},
        {"text, stored", Text(50000), Compression::Stored, false},
        {"noise does not shrink", noise, Compression::Best, false},
        {"one byte does not shrink", Bytes{0x41}, Compression::Fast, false},
        {"empty", Bytes{}, Compression::Best, false},
    };
    ASSERT_TRUE(CompressionAvailable());
    for (auto &c : cases) {
        EntryData d = MakeEntryData(c.file, c.mode);
        if (c.compressed) {
            EXPECT_EQ(d.expandedSize, c.file.size()) << c.what;
            EXPECT_LT(d.stored.size(), c.file.size() / 5) << c.what;
        } else {
            EXPECT_EQ(d.expandedSize, 0u) << c.what;
            EXPECT_TRUE(d.stored == c.file) << c.what;
        }
        EXPECT_TRUE(RestoreEntryData(d.stored, d.expandedSize) == c.file) << c.what;
    }
}

TEST(LzhEntryData, DamagedStreamsAreRefused)
{
    Bytes file = Text(30000);
    EntryData d = MakeEntryData(file, Compression::Best);
    ASSERT_GT(d.expandedSize, 0u);

    Bytes cut(d.stored.begin(), d.stored.begin() + d.stored.size() / 2);
    EXPECT_THROW(RestoreEntryData(cut, d.expandedSize), ToolError) << "a stream cut short";
    // Zero bits alone: a literal and then a match of 30, 31 bytes for a size of 8.
    EXPECT_THROW(RestoreEntryData(Bytes{}, 8), ToolError) << "no stored bytes";
    EXPECT_THROW(RestoreEntryData(Bytes{0xCA, 0x00, 0x00}, 3), ToolError) << "the last match runs past the size";
    EXPECT_EQ(RestoreEntryData(Bytes{0xCA, 0x00, 0x00}, 5), Bytes(5, ' '));
    EXPECT_THROW(RestoreEntryData(d.stored, 0x80000000u), ToolError) << "a size the installer reads as negative";
}

}  // namespace
