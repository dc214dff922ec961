// The entry streams over the host file layer: the chunked writes, the bounded reads, the pump
// schedule with cancels, and the fatal stops on short reads and writes.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <random>
#include <string>
#include <vector>
#include "core/host_hooks.h"
#include "core/state.h"
#include "install/cancel.h"
#include "lzh/decoder.h"
#include "lzh/encoder.h"
#include "lzh/streams.h"

namespace {

typedef std::vector<uint8_t> Bytes;

struct Pump {
    uint32_t pumpPoint;    // PumpPoint when the pump ran
    uint64_t written;      // bytes in the destination file by then
    uint32_t produced;     // bytes the decoder had produced by then
};
std::vector<Pump> pumps;

// The worker's hooks: its pump and cancel rule, the entry logged or not.
const ExtractHooks Logged = {PumpPointStopsEntry, 0};
const ExtractHooks Unlogged = {PumpPointStopsEntry, 1};

void RecordPump()
{
    pumps.push_back(Pump{PumpPoint, HostFiles.bytesWritten, (History.position - InitialBlanks) & HistoryMask});
}

class LzhStreams : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = ::testing::TempDir() + "lzh_streams_" + std::to_string(getpid());
        mkdir(dir_.c_str(), 0755);
        own_ = dir_ + "/installer.exe";
        destination_ = dir_ + "/out.bin";
        unlink(destination_.c_str());
        ResetHostFileHooks();
        pumps.clear();
        HostMessagePumpHook = RecordPump;
        CancelRequested = 0;
        EntryUncancellable = 0;
    }
    void TearDown() override
    {
        ResetHostFileHooks();
        HostMessagePumpHook = nullptr;
        if (source_ != FileError) FileClose(source_);
        source_ = FileError;
        CancelRequested = 0;
        EntryUncancellable = 0;
        unlink(own_.c_str());
        unlink(destination_.c_str());
        rmdir(dir_.c_str());
    }

    // The program's own file: a prefix, the stream at its offset, and trailing bytes that a reader
    // going past the stored size would take.
    uint32_t WriteOwnFile(const Bytes &stream)
    {
        Bytes file(777 + stream.size() + 5000, 0xFF);
        std::fill(file.begin(), file.begin() + 777, 'P');
        std::copy(stream.begin(), stream.end(), file.begin() + 777);
        FILE *f = fopen(own_.c_str(), "wb");
        fwrite(file.data(), 1, file.size(), f);
        fclose(f);
        if (source_ != FileError) FileClose(source_);
        source_ = FileOpenRead(own_.c_str());  // the installer hands its held own file to the streams
        return 777;
    }

    int Extract(const Bytes &stream, uint32_t expandedSize)
    {
        uint32_t offset = WriteOwnFile(stream);
        ResetHostFileHooks();
        return ExtractEntry(source_, offset, expandedSize, (uint32_t)stream.size(), destination_.c_str(), &Logged);
    }

    int ExtractAt(uint32_t offset, const Bytes &input, const Bytes &stream, const ExtractHooks *hooks = &Logged)
    {
        const char *out = destination_.c_str();
        return ExtractEntry(source_, offset, (uint32_t)input.size(), (uint32_t)stream.size(), out, hooks);
    }

    Bytes Destination() const
    {
        Bytes b;
        FILE *f = fopen(destination_.c_str(), "rb");
        if (!f) return b;
        int c;
        while ((c = fgetc(f)) != EOF) b.push_back((uint8_t)c);
        fclose(f);
        return b;
    }
    bool DestinationExists() const { return access(destination_.c_str(), F_OK) == 0; }

    std::string dir_, own_, destination_;
    FileHandle source_ = FileError;
};

Bytes Sample(size_t n, unsigned seed)
{
    // Text-like with some noise, so the stream spans several read blocks.
    std::mt19937 rng(seed);
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = (uint8_t)(rng() % 5 == 0 ? rng() : "abcdefgh ij\n"[rng() % 12]);
    return b;
}

TEST_F(LzhStreams, WritesWholeChunksEndingAtTheExpandedSize)
{
    struct {
        uint32_t size;
        uint32_t writes;
    } cases[] = {{1, 1}, {16383, 1}, {16384, 1}, {16385, 2}, {32768, 2}, {100000, 7}};
    for (auto &c : cases) {
        Bytes input = Sample(c.size, c.size);
        Bytes stream = CompressBuffer(CompressMode::Fast, input.data(), input.size());
        ASSERT_EQ(Extract(stream, c.size), 1);
        EXPECT_EQ(HostFiles.writes, c.writes) << "size " << c.size;
        EXPECT_EQ(HostFiles.bytesWritten, c.size);
        EXPECT_TRUE(Destination() == input) << "size " << c.size;
    }
}

TEST_F(LzhStreams, ReadsExactlyTheStoredBytesInBlocks)
{
    Bytes input = Sample(400000, 3);
    Bytes stream = CompressBuffer(CompressMode::Fast, input.data(), input.size());
    ASSERT_GT(stream.size(), 3u * StreamBlockSize);
    uint32_t offset = WriteOwnFile(stream);
    ResetHostFileHooks();
    HostFiles.readBudget = (int64_t)stream.size();  // one byte more asked for would come back short
    ASSERT_EQ(ExtractAt(offset, input, stream), 1);
    EXPECT_EQ(HostFiles.readBudget, 0);
    EXPECT_EQ(HostFiles.reads, (stream.size() + StreamBlockSize - 1) / StreamBlockSize);
    EXPECT_TRUE(Destination() == input);
}

TEST_F(LzhStreams, PumpsAfterTheFirstTokenAndEvery102400Bytes)
{
    Bytes input = Sample(300000, 4);
    Bytes stream = CompressBuffer(CompressMode::Best, input.data(), input.size());
    ASSERT_EQ(Extract(stream, (uint32_t)input.size()), 1);
    ASSERT_EQ(pumps.size(), 3u);
    EXPECT_EQ(pumps[0].pumpPoint, 0u);
    EXPECT_GE(pumps[0].produced, 1u);
    EXPECT_LE(pumps[0].produced, (uint32_t)MaxMatch) << "right after the first token";
    EXPECT_EQ(pumps[0].written, 0u);
    EXPECT_EQ(pumps[1].pumpPoint, (uint32_t)PumpInterval);
    EXPECT_EQ(pumps[1].written, 6u * StreamBlockSize) << "the pump comes within a token of 102400";
    EXPECT_EQ(pumps[2].pumpPoint, 2u * PumpInterval);
    EXPECT_EQ(pumps[2].written, 12u * StreamBlockSize);
    EXPECT_TRUE(Destination() == input);
}

TEST_F(LzhStreams, ACancelStopsAtTheFirstPumpUnlessTheEntryIsUncancellable)
{
    Bytes input = Sample(250000, 5);
    Bytes stream = CompressBuffer(CompressMode::Fast, input.data(), input.size());

    CancelRequested = 1;
    ASSERT_EQ(Extract(stream, (uint32_t)input.size()), 1) << "a cancelled entry counts as processed";
    EXPECT_EQ(pumps.size(), 1u);
    EXPECT_TRUE(DestinationExists());
    EXPECT_TRUE(Destination().empty());

    // A first token that completes the entry leaves the file complete.
    pumps.clear();
    ASSERT_EQ(Extract({0xCA, 0x00, 0x00}, 5), 1);
    EXPECT_EQ(Destination(), Bytes(5, ' '));

    pumps.clear();
    EntryUncancellable = 1;
    ASSERT_EQ(Extract(stream, (uint32_t)input.size()), 1);
    EXPECT_EQ(pumps.size(), 3u) << "pumps still run every 102400 bytes";
    EXPECT_TRUE(Destination() == input);
}

TEST_F(LzhStreams, TheSurplusOfAFinalMatchIsNeverWritten)
{
    // No stored bytes and size 8: the decoder produces 31 bytes of 0x38.
    ASSERT_EQ(Extract({}, 8), 1);
    EXPECT_EQ(Destination(), Bytes(8, 0x38));
    EXPECT_EQ(HostFiles.writes, 1u);
    EXPECT_EQ(HostFiles.reads, 0u);
}

TEST_F(LzhStreams, SizeZeroLeavesAnEmptyFileAndNoSourceNoFile)
{
    ASSERT_EQ(Extract({0x29, 0x2A}, 0), 1);
    EXPECT_TRUE(DestinationExists());
    EXPECT_TRUE(Destination().empty());
    EXPECT_EQ(HostFiles.reads, 0u);
    unlink(destination_.c_str());

    WriteOwnFile({0x29, 0x2A, 0x2B});
    EXPECT_EQ(ExtractEntry(FileError, 777, 3, 3, destination_.c_str(), &Logged), ExtractSourceFailed);
    EXPECT_EQ(ExtractEntry(source_, 0x80000000u, 3, 3, destination_.c_str(), &Logged), ExtractSourceFailed);
    EXPECT_FALSE(DestinationExists());
    EXPECT_EQ(ExtractEntry(source_, 777, 3, 3, (dir_ + "/missing/out.bin").c_str(), &Logged), ExtractDestinationFailed);
}

TEST_F(LzhStreams, AShortReadIsAFatalStop)
{
    Bytes input = Sample(100000, 6);
    Bytes stream = CompressBuffer(CompressMode::Fast, input.data(), input.size());
    uint32_t offset = WriteOwnFile(stream);
    EXPECT_EXIT(
        {
            ResetHostFileHooks();
            HostFiles.readBudget = (int64_t)stream.size() - 1;  // the file is cut one byte short
            ExtractAt(offset, input, stream);
        },
        ::testing::ExitedWithCode(1), "Installationsdatei konnte nicht gelesen");
    EXPECT_EQ(access(destination_.c_str(), F_OK), 0) << "its log line is there: the cut file stays";

    // Without its log line the cut file goes, as after a short write.
    EXPECT_EXIT(
        {
            ResetHostFileHooks();
            HostFiles.readBudget = (int64_t)stream.size() - 1;
            ExtractAt(offset, input, stream, &Unlogged);
        },
        ::testing::ExitedWithCode(1), "Installationsdatei konnte nicht gelesen");
    EXPECT_NE(access(destination_.c_str(), F_OK), 0);
}

TEST_F(LzhStreams, AShortWriteIsAFatalStopNamingTheFile)
{
    Bytes input = Sample(100000, 7);
    Bytes stream = CompressBuffer(CompressMode::Fast, input.data(), input.size());
    uint32_t offset = WriteOwnFile(stream);
    EXPECT_EXIT(
        {
            ResetHostFileHooks();
            HostFiles.writeBudget = 20000;  // the disk fills in the second chunk
            ExtractAt(offset, input, stream);
        },
        ::testing::ExitedWithCode(1), "out\\.bin");
    // Its log line is there: the cut file stays for the uninstaller.
    EXPECT_EQ(access(destination_.c_str(), F_OK), 0);

    // The same full disk kept its log line out: the cut file would be found by nothing, so it goes.
    EXPECT_EXIT(
        {
            ResetHostFileHooks();
            HostFiles.writeBudget = 20000;
            ExtractAt(offset, input, stream, &Unlogged);
        },
        ::testing::ExitedWithCode(1), "out\\.bin");
    EXPECT_NE(access(destination_.c_str(), F_OK), 0);
}

}  // namespace
