// The decoder against the worked streams of its format, the adaptive tree's invariants and rebuild,
// and the fast loop against the stepwise decoding.
#include <gtest/gtest.h>
#include <string.h>
#include <random>
#include <string>
#include <vector>
#include "lzh/decoder.h"

namespace {

// Collects every byte the decoder hands out, the surplus of a final match included.
struct RecordingSink {
    ExpandSink sink;
    uint8_t room[7];  // small, so the drain runs often
    std::vector<uint8_t> bytes;
};

void RecordAndRenew(ExpandSink *sink, int32_t)
{
    RecordingSink *r = (RecordingSink *)sink;
    r->bytes.insert(r->bytes.end(), r->room, sink->next);
    sink->next = r->room;
    sink->end = r->room + sizeof r->room;
}

int refills;
void CountRefill(ExpandSource *, uint32_t) { ++refills; }

typedef void (*Expander)(ExpandSource *, ExpandSink *, ExpandProgress, int32_t, uint32_t);

std::vector<uint8_t> Expand(Expander expand, const std::vector<uint8_t> &stored, int32_t size)
{
    ExpandSource source = {stored.data(), stored.data() + stored.size(), CountRefill, 0};
    RecordingSink r;
    r.sink = ExpandSink{r.room, r.room, RecordAndRenew, 0};
    expand(&source, &r.sink, 0, size, (uint32_t)stored.size());
    r.bytes.insert(r.bytes.end(), r.room, r.sink.next);
    return r.bytes;
}

// The code of a symbol: the path from the root to its leaf, root side first.
std::string CodeOf(const HuffTree &t, int symbol)
{
    std::string code;
    for (int c = t.parent[LeafMark + symbol]; c != RootNode; c = t.parent[c]) code.insert(code.begin(), (char)('0' + (c & 1)));
    return code;
}

std::string Bits(unsigned value, int length)
{
    std::string s;
    for (int i = length - 1; i >= 0; --i) s += (char)('0' + ((value >> i) & 1));
    return s;
}

void ExpectTreeSound(const HuffTree &t)
{
    int leaves = 0;
    for (int i = 0; i < NodeCount; ++i) {
        if (i + 1 < NodeCount) {
            ASSERT_LE(t.frequency[i], t.frequency[i + 1]) << "sorted at " << i;
        }
        int k = t.child[i];
        if (k >= LeafMark) {
            ++leaves;
            ASSERT_LT(k - LeafMark, SymbolCount);
            ASSERT_EQ(t.parent[k], i);
            ASSERT_GE(t.frequency[i], 1);
        } else {
            ASSERT_EQ(k % 2, 0) << "first child even at " << i;
            ASSERT_LT(k + 1, i);
            ASSERT_EQ(t.frequency[i], t.frequency[k] + t.frequency[k + 1]);
            ASSERT_EQ(t.parent[k], i);
            ASSERT_EQ(t.parent[k + 1], i);
        }
    }
    EXPECT_EQ(leaves, SymbolCount);
    EXPECT_EQ(t.frequency[NodeCount], FrequencySentinel);
    EXPECT_EQ(t.parent[RootNode], 0);
}

TEST(LzhDecoder, InitialCodesAreEightBitsFrom56AndNineBitsBelow)
{
    ResetTree(&DecoderTree);
    ExpectTreeSound(DecoderTree);
    EXPECT_EQ(DecoderTree.child[RootNode], 564);
    EXPECT_EQ(DecoderTree.frequency[RootNode], SymbolCount);
    for (int s = 0; s < SymbolCount; ++s) {
        std::string expected = s >= 56 ? Bits(s - 56, 8) : Bits(456 + s, 9);
        EXPECT_EQ(CodeOf(DecoderTree, s), expected) << "symbol " << s;
    }
}

TEST(LzhDecoder, DistanceCodeIsCanonicalWithSixPlainBits)
{
    // First and last code of each length, as the format lists them.
    struct { int upper; const char *code; } cases[] = {
        {0, "000"}, {1, "0010"}, {3, "0100"}, {4, "01010"}, {11, "10001"}, {12, "100100"},
        {23, "101111"}, {24, "1100000"}, {47, "1110111"}, {48, "11110000"}, {63, "11111111"},
    };
    for (auto &c : cases) {
        int len = (int)strlen(c.code);
        unsigned value = (unsigned)std::stoul(c.code, nullptr, 2);
        for (unsigned rest = 0; rest < (1u << (8 - len)); ++rest) {
            unsigned b = value << (8 - len) | rest;
            EXPECT_EQ(DistanceCode.upper[b], c.upper) << c.code;
            EXPECT_EQ(DistanceCode.length[b], len) << c.code;
        }
    }
    // Entries per value: 32, 16, 8, 4, 2, 1 by code length.
    int entries[64] = {0};
    for (int b = 0; b < 256; ++b) entries[DistanceCode.upper[b]]++;
    for (int u = 0; u < 64; ++u) {
        int len = u == 0 ? 3 : u < 4 ? 4 : u < 12 ? 5 : u < 24 ? 6 : u < 48 ? 7 : 8;
        EXPECT_EQ(entries[u], 1 << (8 - len)) << "value " << u;
    }
}

TEST(LzhDecoder, WorkedStreamsGiveTheirBytes)
{
    struct {
        const char *what;
        std::vector<uint8_t> stored;
        int32_t size;
        std::vector<uint8_t> expected;
    } cases[] = {
        {"three literals", {0x29, 0x2A, 0x2B}, 3, {'a', 'b', 'c'}},
        {"literal and a match of 9 at distance 0", {0x29, 0xCE, 0x00, 0x00}, 10, std::vector<uint8_t>(10, 0x61)},
        {"first match copies the blanks", {0xCA, 0x00, 0x00}, 5, std::vector<uint8_t>(5, ' ')},
        {"zero bits alone: 0x38, then a match of 30", {}, 31, std::vector<uint8_t>(31, 0x38)},
        // Written by vectors/make_vectors.py, a coder of its own.
        {"first token, D = 4065: the oldest blank", {0xC8, 0xFF, 0x84}, 3, {0x20, 0x20, 0x20}},
        {"distances with non-zero low bits", {0x29, 0x2A, 0x2B, 0x2C, 0xC9, 0x00, 0xE4, 0x01, 0xB2, 0x88, 0x10}, 16,
         {0x61, 0x62, 0x63, 0x64, 0x63, 0x64, 0x63, 0x64, 0x62, 0x63, 0x64, 0x20, 0x20, 0x20, 0x20, 0x20}},
        {"a match reaching back into the blanks, one from the oldest blank", {0x40, 0x41, 0xCB, 0x01, 0xE5, 0x7F, 0xC6},
         13, {0x78, 0x79, 0x20, 0x20, 0x78, 0x79, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20}},
    };
    for (auto &c : cases) {
        EXPECT_EQ(Expand(ExpandStreamStepwise, c.stored, c.size), c.expected) << c.what;
        EXPECT_EQ(Expand(ExpandStream, c.stored, c.size), c.expected) << c.what;
        EXPECT_EQ(Expand(ExpandStream32, c.stored, c.size), c.expected) << c.what;
    }
}

std::vector<uint8_t> VectorFile(const char *name)
{
    std::string path = std::string(SSP_SOURCE_DIR) + "/tests/unit/vectors/" + name;
    std::vector<uint8_t> bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    for (int c; (c = fgetc(f)) != EOF;) bytes.push_back((uint8_t)c);
    fclose(f);
    return bytes;
}

TEST(LzhDecoder, AStreamPastTheFirstRebuildGivesItsBytes)
{
    // 32 600 skewed literals, every literal once more from the rebuilt tree, and two matches: the
    // placement of rebuilt nodes among equal frequencies decides the codes after the rebuild.
    std::vector<uint8_t> stored = VectorFile("rebuild.lz"), expected = VectorFile("rebuild.out");
    ASSERT_EQ(expected.size(), 32898u);
    for (Expander e : {ExpandStreamStepwise, ExpandStream})
        EXPECT_TRUE(Expand(e, stored, (int32_t)expected.size()) == expected);
}

TEST(LzhDecoder, ZeroBitsRenumberTheAllZeroPathAfterTheFirstLiteral)
{
    // The update after 0x38 swaps its leaf with position 283, the last of frequency 1.
    static const uint8_t none[1] = {0};
    ExpandSource source = {none, none, CountRefill, 0};
    StartBitReader(&source, 0);
    ResetTree(&DecoderTree);
    EXPECT_EQ(DecodeSymbol(), 0x38);
    EXPECT_EQ(DecoderTree.parent[LeafMark + 0x38], 283);
    EXPECT_EQ(DecodeSymbol(), 283);
    EXPECT_EQ(DecodeDistance(), 0);
}

TEST(LzhDecoder, AMatchPastTheSizeIsHandedOutWholeAndEndsTheStream)
{
    // Size 8 from zero bits: 0x38 and the match of 30 give 31 bytes.
    for (Expander e : {ExpandStreamStepwise, ExpandStream, ExpandStream32}) {
        EXPECT_EQ(Expand(e, {}, 8), std::vector<uint8_t>(31, 0x38));
    }
}

TEST(LzhDecoder, SizeZeroTouchesNothingAndNegativeSizesOnlyReset)
{
    std::vector<uint8_t> stored(40, 0x5A);
    Expand(ExpandStream, stored, 100);
    HuffTree before = DecoderTree;
    refills = 0;
    for (Expander e : {ExpandStreamStepwise, ExpandStream, ExpandStream32}) {
        ExpandSource source = {stored.data(), stored.data(), CountRefill, 0};
        RecordingSink r;
        r.sink = ExpandSink{r.room, r.room, RecordAndRenew, 0};
        e(&source, &r.sink, 0, 0, (uint32_t)stored.size());
        EXPECT_EQ(refills, 0);
        EXPECT_EQ(r.sink.next, r.room);
        EXPECT_EQ(memcmp(&before, &DecoderTree, sizeof before), 0) << "tree untouched";

        memset(History.bytes, 0xEE, sizeof History.bytes);
        e(&source, &r.sink, 0, INT32_MIN, (uint32_t)stored.size());  // an expanded size of 2^31
        EXPECT_EQ(refills, 0);
        EXPECT_TRUE(r.bytes.empty());
        EXPECT_EQ(r.sink.next, r.room);
        HuffTree fresh;
        ResetTree(&fresh);
        EXPECT_EQ(memcmp(&fresh, &DecoderTree, sizeof fresh), 0) << "tree reset";
        EXPECT_EQ(std::string((char *)History.bytes, InitialBlanks), std::string(InitialBlanks, ' '));
        memcpy(&DecoderTree, &before, sizeof before);
    }
}

TEST(LzhDecoder, EveryStreamStartsFromTheInitialTree)
{
    std::vector<uint8_t> noise(5000);
    std::mt19937 rng(7);
    for (auto &b : noise) b = (uint8_t)rng();
    Expand(ExpandStream, noise, 20000);
    EXPECT_EQ(Expand(ExpandStream, {0x29, 0x2A, 0x2B}, 3), (std::vector<uint8_t>{'a', 'b', 'c'}));
    Expand(ExpandStreamStepwise, noise, 20000);
    EXPECT_EQ(Expand(ExpandStreamStepwise, {0xCA, 0x00, 0x00}, 5), std::vector<uint8_t>(5, ' '));
}

TEST(LzhDecoder, FirstRebuildComesInTheUpdateOfSymbol32485)
{
    HuffTree t;
    ResetTree(&t);
    std::mt19937 rng(3);
    std::geometric_distribution<int> skewed(0.05);  // frequent small symbols, a long tail
    for (int n = 1; n <= 32484; ++n) {
        UpdateTree(&t, skewed(rng) % SymbolCount);
        ASSERT_EQ(t.frequency[RootNode], SymbolCount + n);
    }
    ASSERT_EQ(t.frequency[RootNode], RebuildFrequency);
    ExpectTreeSound(t);

    unsigned leafFrequency[SymbolCount], halvedSum = 0;
    for (int s = 0; s < SymbolCount; ++s) {
        leafFrequency[s] = t.frequency[t.parent[LeafMark + s]];
        halvedSum += (leafFrequency[s] + 1) / 2;
    }
    HuffTree rebuilt = t;
    RebuildTree(&rebuilt);
    ExpectTreeSound(rebuilt);
    for (int s = 0; s < SymbolCount; ++s) {
        unsigned f = rebuilt.frequency[rebuilt.parent[LeafMark + s]];
        EXPECT_EQ(f, (leafFrequency[s] + 1) / 2) << "symbol " << s;
        if (leafFrequency[s] == 1) {
            EXPECT_EQ(f, 1u);
        }
    }
    EXPECT_EQ(rebuilt.frequency[RootNode], halvedSum);

    UpdateTree(&t, 0);  // the 32485th: rebuilds, then counts its symbol
    EXPECT_EQ(t.frequency[RootNode], halvedSum + 1);
    ExpectTreeSound(t);
}

TEST(LzhDecoder, LongRandomStreamsKeepTheTreeSoundThroughRebuilds)
{
    HuffTree t;
    ResetTree(&t);
    std::mt19937 rng(11);
    int rebuilds = 0;
    for (int n = 0; n < 200000; ++n) {
        if (t.frequency[RootNode] == RebuildFrequency) ++rebuilds;
        UpdateTree(&t, (int)(rng() % 34) + (n % 7 == 0 ? 250 : 0));
    }
    EXPECT_GE(rebuilds, 5);
    ExpectTreeSound(t);
}

// The fast loop with the machine's bit word and with the PE32 installer's 32-bit one.
TEST(LzhDecoder, FastLoopAgreesWithTheStepwiseDecoding)
{
    std::mt19937 rng(5);
    for (int round = 0; round < 60; ++round) {
        std::vector<uint8_t> stored(rng() % 3000);
        int bias = round % 3;  // plain noise, sparse bits, dense bits
        for (auto &b : stored) b = (uint8_t)(bias == 0 ? rng() : bias == 1 ? (rng() & rng() & rng()) : (rng() | rng()));
        // Every tenth stream long enough for rebuilds of the tree.
        int32_t size = (int32_t)(round % 10 == 9 ? 1200000 + rng() % 1000 : rng() % 60000);
        std::vector<uint8_t> stepwise = Expand(ExpandStreamStepwise, stored, size);
        ASSERT_EQ(Expand(ExpandStream, stored, size), stepwise) << "round " << round;
        ASSERT_EQ(Expand(ExpandStream32, stored, size), stepwise) << "round " << round << ", 32-bit word";
    }
}

TEST(LzhDecoder, ExpandToMemoryDropsWhatPassesTheCapacity)
{
    std::vector<uint8_t> out(40, 0xEE);
    EXPECT_EQ(ExpandToMemory(nullptr, 0, out.data(), 40, 8), 8u);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 8), std::vector<uint8_t>(8, 0x38));
    EXPECT_EQ(out[8], 0xEE) << "the surplus of the final match stays out";
    out.assign(40, 0xEE);
    ExpandOutcome outcome;
    EXPECT_EQ(ExpandToMemory(nullptr, 0, out.data(), 4, 31, &outcome), 4u);
    EXPECT_EQ(out[4], 0xEE);
    EXPECT_EQ(outcome.produced, 31u);
    EXPECT_TRUE(outcome.overran) << "decoded from zero bits alone";

    const uint8_t abc[] = {0x29, 0x2A, 0x2B};
    EXPECT_EQ(ExpandToMemory(abc, 3, out.data(), 40, 3, &outcome), 3u);
    EXPECT_EQ(outcome.produced, 3u);
    EXPECT_FALSE(outcome.overran) << "three 8-bit codes fill the three bytes";
    EXPECT_EQ(ExpandToMemory(abc, 2, out.data(), 40, 3, &outcome), 3u);
    EXPECT_TRUE(outcome.overran) << "the third code is cut off";
}

}  // namespace
