// The coder in both modes against the decoder: every stream expands to exactly its input, no match
// reads history that is not yet written or runs past the end, and the modes compress as they should.
#include <gtest/gtest.h>
#include <dirent.h>
#include <stdio.h>
#include <string.h>
#include <random>
#include <string>
#include <vector>
#include "lzh/decoder.h"
#include "lzh/encoder.h"
#include "tests/support/files.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void NoRefill(ExpandSource *, uint32_t) {}

// Walks the tokens of a stream with the decoder's single steps and checks what the format demands
// of a coder: each match starts in the blanks or in written bytes and ends within the size.
void ExpectTokensWithinBounds(const Bytes &stream, uint32_t size)
{
    ExpandSource source = {stream.data(), stream.data() + stream.size(), NoRefill, 0};
    StartBitReader(&source, (uint32_t)stream.size());
    ResetTree(&DecoderTree);
    uint64_t produced = 0;
    while (produced < size) {
        int s = DecodeSymbol();
        if (s < LiteralCount) {
            produced += 1;
            continue;
        }
        int distance = DecodeDistance();
        int length = s - MatchSymbolBase;
        ASSERT_LE(distance, (int)(InitialBlanks - 1 + produced)) << "reads unwritten history at " << produced;
        ASSERT_LE(produced + length, size) << "match runs past the end at " << produced;
        produced += length;
    }
}

void ExpectRoundTrip(const Bytes &input, const char *what, size_t *fastSize = nullptr, size_t *bestSize = nullptr)
{
    for (CompressMode mode : {CompressMode::Fast, CompressMode::Best}) {
        const char *name = mode == CompressMode::Fast ? "fast" : "best";
        Bytes stream = CompressBuffer(mode, input.data(), input.size());
        Bytes output(input.size() + 1, 0xA5);
        ExpandOutcome outcome;
        uint32_t n = ExpandToMemory(stream.data(), (uint32_t)stream.size(), output.data(), (uint32_t)input.size(),
                                    (int32_t)input.size(), &outcome);
        ASSERT_EQ(n, input.size()) << what << " " << name;
        EXPECT_EQ(outcome.produced, input.size()) << what << " " << name << ": the last token ends at the size";
        EXPECT_FALSE(outcome.overran) << what << " " << name << ": every bit needed is stored";
        output.resize(input.size());
        ASSERT_TRUE(output == input) << what << " " << name << ": expanded bytes differ";
        ExpectTokensWithinBounds(stream, (uint32_t)input.size());
        if (mode == CompressMode::Fast && fastSize) *fastSize = stream.size();
        if (mode == CompressMode::Best && bestSize) *bestSize = stream.size();
    }
}

Bytes Random(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto &x : b) x = (uint8_t)rng();
    return b;
}

// Text of words from a small vocabulary in lines, like prose with its repetitions.
Bytes Prose(size_t n, unsigned seed)
{
    static const char *words[] = {"the", "licence", "software", "of", "and", "to", "any", "copy", "work", "you",
                                  "distribute", "program", "source", "code", "terms", "conditions", "that", "is",
                                  "in", "this", "may", "not", "for", "with", "which", "under", "be", "or"};
    std::mt19937 rng(seed);
    std::string text;
    size_t column = 0;
    while (text.size() < n) {
        const char *w = words[rng() % (sizeof words / sizeof *words)];
        text += w;
        column += strlen(w) + 1;
        if (column > 70) {
            text += ".\n";
            column = 0;
        } else {
            text += ' ';
        }
    }
    text.resize(n);
    return Bytes(text.begin(), text.end());
}

TEST(LzhRoundTrip, SmallAndEdgeInputs)
{
    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[i] = (uint8_t)i;
    Bytes allTwice = all;
    allTwice.insert(allTwice.end(), all.begin(), all.end());
    struct {
        const char *what;
        Bytes input;
    } cases[] = {
        {"empty", {}},
        {"one byte", {0x41}},
        {"one blank", {' '}},
        {"two bytes", {0, 0}},
        {"three blanks", {' ', ' ', ' '}},
        {"all 256 values", all},
        {"all 256 values twice", allTwice},
        {"blanks then text", Bytes(5000, ' ')},
        {"31 bytes", Bytes(31, 0x38)},
    };
    for (auto &c : cases) ExpectRoundTrip(c.input, c.what);
}

TEST(LzhRoundTrip, LongRunsAndPeriodicData)
{
    Bytes zeros(300000, 0);
    Bytes alternating(100000);
    for (size_t i = 0; i < alternating.size(); ++i) alternating[i] = (uint8_t)(i % 2 ? 0xFF : 0x00);
    Bytes period4095(50000), period4096(50000), period4097(50000);
    Bytes block = Random(4097, 1);
    for (size_t i = 0; i < 50000; ++i) {
        period4095[i] = block[i % 4095];
        period4096[i] = block[i % 4096];
        period4097[i] = block[i % 4097];
    }
    size_t fast = 0, best = 0;
    ExpectRoundTrip(zeros, "zeros", &fast, &best);
    EXPECT_LT(fast, zeros.size() / 20);
    EXPECT_LT(best, zeros.size() / 20);
    ExpectRoundTrip(alternating, "alternating");
    ExpectRoundTrip(period4095, "period 4095");
    ExpectRoundTrip(period4096, "period 4096: the farthest distance");
    ExpectRoundTrip(period4097, "period 4097: just out of reach");
}

TEST(LzhRoundTrip, TextCompressesAndBestBeatsFast)
{
    Bytes text = Prose(400000, 2);
    size_t fast = 0, best = 0;
    ExpectRoundTrip(text, "prose", &fast, &best);
    EXPECT_LT(fast, text.size() * 45 / 100);
    EXPECT_LT(best, fast * 97 / 100) << "the shortest path should gain a few percent";

    Bytes licences;
    if (DIR *d = opendir("/usr/share/common-licenses")) {
        while (dirent *e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            Bytes f = ReadFileBytes(std::string("/usr/share/common-licenses/") + e->d_name);
            licences.insert(licences.end(), f.begin(), f.end());
        }
        closedir(d);
    }
    if (!licences.empty()) ExpectRoundTrip(licences, "licence texts");
}

TEST(LzhRoundTrip, IncompressibleDataGrowsLittle)
{
    Bytes noise = Random(300000, 9);
    size_t fast = 0, best = 0;
    ExpectRoundTrip(noise, "noise", &fast, &best);
    EXPECT_LT(fast, noise.size() * 105 / 100);
    EXPECT_LT(best, noise.size() * 105 / 100);
}

TEST(LzhRoundTrip, ManyRebuildsAndMixedContent)
{
    // Over a million symbols: dozens of rebuilds, text, runs and noise in turn.
    Bytes mixed;
    for (int part = 0; part < 12; ++part) {
        Bytes piece = part % 3 == 0 ? Prose(150000, part) : part % 3 == 1 ? Random(60000, part) : Bytes(20000, (uint8_t)part);
        mixed.insert(mixed.end(), piece.begin(), piece.end());
    }
    ExpectRoundTrip(mixed, "mixed");
}

TEST(LzhRoundTrip, Executables)
{
    // PE files: the project's own installer and Wine's 64-bit libraries.
    std::vector<std::string> candidates = {std::string(SSP_BUILD_DIR) + "/../win32/app/installer.exe"};
    const char *dllDir = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";
    for (const char *name : {"kernel32.dll", "user32.dll", "comctl32.dll"}) candidates.push_back(std::string(dllDir) + "/" + name);
    for (auto &path : candidates) {
        Bytes exe = ReadFileBytes(path);
        if (exe.size() < 2 || exe[0] != 'M' || exe[1] != 'Z') {
            ADD_FAILURE() << path << " is no PE file: make win32, or make deps for Wine";
            continue;
        }
        if (exe.size() > 1500000) exe.resize(1500000);
        ExpectRoundTrip(exe, path.c_str());
    }
}

TEST(LzhRoundTrip, StreamingCoderKeepsMemoryBoundedAndReportsSizes)
{
    // 8 MB fed in small reads; the stream goes to a counting writer, never into memory whole.
    const uint64_t total = 8u << 20;
    uint64_t fed = 0, written = 0;
    Bytes text = Prose(65536, 4);
    CompressResult r = CompressStream(
        CompressMode::Fast,
        [&](uint8_t *buffer, size_t size, bool *) {
            size_t n = std::min<uint64_t>({size, total - fed, 1000});
            for (size_t i = 0; i < n; ++i) buffer[i] = text[(fed + i) % text.size()];
            fed += n;
            return n;
        },
        [&](const uint8_t *, size_t count) {
            written += count;
            return true;
        });
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.inputSize, total);
    EXPECT_EQ(r.storedSize, written);

    // A writer that fails stops the coder with a failure.
    CompressResult failed = CompressStream(
        CompressMode::Best, [&](uint8_t *buffer, size_t size, bool *) { memset(buffer, 1, size); return size; },
        [](const uint8_t *, size_t) { return false; });
    EXPECT_FALSE(failed.ok);
}

}  // namespace
