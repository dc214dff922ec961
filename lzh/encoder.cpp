// The coder: finds matches in the last 4096 bytes over hash chains and codes literals and match
// lengths with an adaptive tree updated exactly as the decoder updates its own.
//
// The coder sees the stream as the 4066 leading blanks of the history followed by the input, one
// line of "virtual" positions: input byte n sits at 4066 + n, and a match at i from j (j < i)
// carries the distance i - j - 1. Sources below 0 would be the undefined history positions
// 4066..4095, so no match reaches before virtual position 0 and none reaches past the input's end.
// Only the last window and a lookahead block are held, so memory does not grow with the input.
#include "lzh/encoder.h"
#include <math.h>
#include <string.h>
#include <algorithm>
#include <memory>
#include "lzh/decoder.h"

namespace {

constexpr uint32_t HashBits = 15;
constexpr uint32_t HashSize = 1u << HashBits;
constexpr uint32_t NoPosition = 0xFFFFFFFFu;
constexpr uint32_t ReadBlock = 1u << 16;    // input taken per read
constexpr uint32_t ParseBlock = 4096;       // positions per shortest-path step of the best mode
constexpr uint32_t Lookahead = ParseBlock + 2 * MaxMatch;
constexpr uint32_t BufferSize = HistorySize + Lookahead + 2 * ReadBlock;
constexpr int FastChain = 24;     // candidates tried per position by the greedy parse
constexpr int BestChain = 2048;   // and by the shortest-path parse
constexpr uint32_t OutputBlock = 1u << 16;
// Chain links for the history and for what a parse step has entered ahead of its position.
constexpr uint32_t ChainSize = 4 * HistorySize;
constexpr uint32_t ChainMask = ChainSize - 1;
static_assert(ChainSize >= HistorySize + Lookahead, "links of the lookahead must not overwrite the history's");

// The distance code per upper six bits, derived from the decoder's table so both sides agree.
struct DistanceCodes {
    uint8_t code[64];
    uint8_t length[64];
    DistanceCodes()
    {
        for (int b = 255; b >= 0; --b) {
            int u = DistanceCode.upper[b], len = DistanceCode.length[b];
            code[u] = (uint8_t)(b >> (8 - len));  // the first entry of each value is its code
            length[u] = (uint8_t)len;
        }
    }
};
const DistanceCodes Distances;

class BitWriter {
public:
    explicit BitWriter(const CompressWriter &write) : write_(write) { bytes_.reserve(OutputBlock + 16); }

    // Appends count (at most 24) bits, most significant first.
    void Put(uint32_t bits, int count)
    {
        acc_ = (acc_ << count) | bits;
        pending_ += count;
        while (pending_ >= 8) {
            pending_ -= 8;
            bytes_.push_back((uint8_t)(acc_ >> pending_));
        }
        if (bytes_.size() >= OutputBlock) Flush();
    }

    // Completes the last byte with zero bits (the decoder never interprets them).
    bool Finish()
    {
        if (pending_ > 0) Put(0, 8 - pending_);
        Flush();
        return ok_;
    }

    uint64_t written() const { return written_ + bytes_.size(); }
    bool ok() const { return ok_; }

private:
    void Flush()
    {
        if (ok_ && !bytes_.empty()) ok_ = write_(bytes_.data(), bytes_.size());
        written_ += bytes_.size();
        bytes_.clear();
    }

    const CompressWriter &write_;
    std::vector<uint8_t> bytes_;
    uint64_t acc_ = 0;
    int pending_ = 0;
    uint64_t written_ = 0;
    bool ok_ = true;
};

// The large tables of one coding, kept for the next coding on the same thread: mapping and
// clearing a fresh set costs more than coding a short input.
struct Tables {
    uint8_t buffer[BufferSize];  // virtual positions base_ .. end_
    uint32_t head[HashSize];     // per hash: its latest position
    uint32_t prev[ChainSize];    // per position & ChainMask: the one before with the same hash
};
thread_local std::unique_ptr<Tables> SpareTables;

class Coder {
public:
    // Only the heads are cleared: the buffer and the links are written before they are read (a link
    // is read only for a position already entered), and the blanks' chain is laid down directly.
    Coder(const CompressReader &read, const CompressWriter &write)
        : read_(read), bits_(write), tables_(SpareTables ? std::move(SpareTables) : std::unique_ptr<Tables>(new Tables)),
          buffer_(tables_->buffer), head_(tables_->head), prev_(tables_->prev)
    {
        ResetTree(&tree_);
        memset(buffer_, ' ', InitialBlanks);
        end_ = InitialBlanks;
        memset(head_, 0xFF, sizeof tables_->head);  // NoPosition everywhere
        EnterBlanks();
    }

    ~Coder()
    {
        if (!SpareTables) SpareTables = std::move(tables_);
    }

    Coder(const Coder &) = delete;
    Coder &operator=(const Coder &) = delete;

    CompressResult Run(CompressMode mode)
    {
        if (mode == CompressMode::Fast)
            ParseGreedy();
        else
            ParseShortestPath();
        CompressResult result;
        result.inputSize = end_ - InitialBlanks;
        bool finished = bits_.Finish();
        result.storedSize = bits_.written();
        result.ok = finished && !failed_;
        return result;
    }

private:
    // ---- Input -------------------------------------------------------------------------------
    uint8_t At(uint32_t v) const { return buffer_[v - base_]; }
    const uint8_t *Ptr(uint32_t v) const { return buffer_ + (v - base_); }

    // Makes positions i - 4096 .. i + need available unless the input ends before.
    void Ensure(uint32_t i, uint32_t need)
    {
        if (eof_ || end_ - i >= need) return;
        uint32_t keep = i > HistorySize + base_ ? i - HistorySize : base_;
        memmove(buffer_, buffer_ + (keep - base_), end_ - keep);
        base_ = keep;
        while (!eof_ && end_ - base_ < BufferSize) {
            bool readFailed = false;
            size_t n = read_(buffer_ + (end_ - base_), BufferSize - (end_ - base_), &readFailed);
            if (readFailed) failed_ = true;
            if (n == 0) {
                eof_ = true;
                break;
            }
            if ((uint64_t)end_ - InitialBlanks + n > MaxExpandedSize) {
                failed_ = true;  // too long for one stream
                eof_ = true;
                break;
            }
            end_ += (uint32_t)n;
        }
    }

    bool More(uint32_t i) const { return i < end_ && !failed_; }

    // ---- Hash chains ----------------------------------------------------------------------------
    static uint32_t Hash(const uint8_t *p) { return ((p[0] << 16 | p[1] << 8 | p[2]) * 2654435761u) >> (32 - HashBits); }

    // What InsertUpTo enters for the positions whose three bytes are all leading blanks: one chain
    // through all of them, the nearest first.
    void EnterBlanks()
    {
        static_assert(InitialBlanks - 2 <= ChainSize, "the blanks' links must not wrap");
        prev_[0] = NoPosition;
        for (uint32_t v = 1; v < InitialBlanks - 2; ++v) prev_[v] = v - 1;
        head_[Hash(buffer_)] = InitialBlanks - 3;
        inserted_ = InitialBlanks - 2;
    }

    void InsertUpTo(uint32_t i)
    {
        for (; inserted_ < i && inserted_ + 2 < end_; ++inserted_) {
            uint32_t h = Hash(Ptr(inserted_));
            prev_[inserted_ & ChainMask] = head_[h];
            head_[h] = inserted_;
        }
    }

    // Walks the candidates of i from the nearest on. For every length that a nearer candidate did
    // not reach yet, nearest[length] gets the distance. Returns the longest length found (0: none).
    int FindMatches(uint32_t i, int maxLength, int chainLimit, uint16_t *nearest)
    {
        if (maxLength < MinMatch) return 0;
        const uint8_t *here = Ptr(i);
        int best = MinMatch - 1;
        uint32_t j = head_[Hash(here)];
        for (int tries = chainLimit; j != NoPosition && tries > 0; j = prev_[j & ChainMask]) {
            if (j >= i) continue;            // entered ahead by an earlier lookahead
            if (i - j > HistorySize) break;  // older than the history
            --tries;
            const uint8_t *there = Ptr(j);
            if (there[best] != here[best] || there[0] != here[0]) continue;
            int length = 0;
            while (length < maxLength && there[length] == here[length]) ++length;
            if (length > best) {
                uint16_t distance = (uint16_t)(i - j - 1);
                if (nearest)
                    for (int l = best + 1; l <= length; ++l) nearest[l] = distance;
                else
                    nearest_ = distance;
                best = length;
                if (length == maxLength) break;
            }
        }
        return best >= MinMatch ? best : 0;
    }

    int MaxLengthAt(uint32_t i) const { return (int)std::min<uint32_t>(MaxMatch, end_ - i); }

    // ---- Emitting, with the tree in step with the decoder ------------------------------------------
    // The code is the path from the root: gathered from the leaf up, sent root side first, and
    // handed to the update so that it need not climb the parent table again.
    void EmitSymbol(int symbol)
    {
        int16_t up[NodeCount], down[NodeCount];
        int depth = 0;
        for (int c = tree_.parent[LeafMark + symbol]; c != RootNode; c = tree_.parent[c]) up[depth++] = (int16_t)c;
        for (int d = 0; d < depth; ++d) down[d] = up[depth - 1 - d];
        for (int d = 0; d < depth;) {
            int take = std::min(depth - d, 24);
            uint32_t code = 0;
            for (int k = 0; k < take; ++k, ++d) code = code << 1 | (uint32_t)(down[d] & 1);
            bits_.Put(code, take);
        }
        UpdateTreeAlong(&tree_, symbol, down, depth);
    }

    void EmitLiteral(uint8_t byte) { EmitSymbol(byte); }

    void EmitMatch(int length, uint32_t distance)
    {
        EmitSymbol(MatchSymbolBase + length);
        uint32_t upper = distance >> 6;
        bits_.Put(Distances.code[upper], Distances.length[upper]);
        bits_.Put(distance & 63, 6);
    }

    // ---- Parses ---------------------------------------------------------------------------------
    void ParseGreedy()
    {
        uint32_t i = InitialBlanks;
        for (;;) {
            Ensure(i, MaxMatch + 2);
            if (!More(i)) return;
            InsertUpTo(i);
            int length = FindMatches(i, MaxLengthAt(i), FastChain, nullptr);
            if (length) {
                EmitMatch(length, nearest_);
                i += (uint32_t)length;
            } else {
                EmitLiteral(At(i));
                i += 1;
            }
            if (!bits_.ok()) return;
        }
    }

    // Code lengths of the tree as it stands: the price list of the next parse step.
    void PriceSymbols(uint32_t *price) const
    {
        for (int s = 0; s < SymbolCount; ++s) {
            uint32_t depth = 0;
            for (int c = tree_.parent[LeafMark + s]; c != RootNode; c = tree_.parent[c]) ++depth;
            price[s] = depth;
        }
    }

    // Cheapest token sequence over the next ParseBlock positions (and a little beyond, so that the
    // tokens near the block's end are chosen knowing what follows), priced with the current code
    // lengths; the tokens starting inside the block are coded, the rest is parsed again.
    void ParseShortestPath()
    {
        std::vector<uint32_t> cost;  // grown to the step's positions, so a short input clears little
        std::vector<uint16_t> length, distance;
        uint32_t price[SymbolCount];
        uint32_t distancePrice[64];
        for (int u = 0; u < 64; ++u) distancePrice[u] = Distances.length[u] + 6u;
        uint16_t nearest[MaxMatch + 1];
        struct Token {
            uint16_t length, distance;
        };
        std::vector<Token> path;

        uint32_t s = InitialBlanks;
        for (;;) {
            Ensure(s, Lookahead + MaxMatch + 2);
            if (!More(s)) return;
            uint32_t n = std::min<uint32_t>(Lookahead, end_ - s);
            if (cost.size() < n + 1) {
                cost.resize(n + 1);
                length.resize(n + 1);
                distance.resize(n + 1);
            }
            PriceSymbols(price);
            std::fill(cost.begin(), cost.begin() + n + 1, 0xFFFFFFFFu);
            cost[0] = 0;
            for (uint32_t k = 0; k < n; ++k) {
                uint32_t i = s + k;
                uint32_t here = cost[k];
                uint32_t c = here + price[At(i)];
                if (c < cost[k + 1]) {
                    cost[k + 1] = c;
                    length[k + 1] = 1;
                }
                InsertUpTo(i);
                int longest = FindMatches(i, (int)std::min<uint32_t>(MaxLengthAt(i), n - k), BestChain, nearest);
                for (int l = MinMatch; l <= longest; ++l) {
                    uint32_t m = here + price[MatchSymbolBase + l] + distancePrice[nearest[l] >> 6];
                    if (m < cost[k + l]) {
                        cost[k + l] = m;
                        length[k + l] = (uint16_t)l;
                        distance[k + l] = nearest[l];
                    }
                }
            }
            path.clear();
            for (uint32_t k = n; k > 0; k -= length[k]) path.push_back(Token{length[k], distance[k]});
            uint32_t k = 0;
            for (auto t = path.rbegin(); t != path.rend() && (k < ParseBlock || s + n == end_); ++t) {
                if (t->length == 1)
                    EmitLiteral(At(s + k));
                else
                    EmitMatch(t->length, t->distance);
                k += t->length;
            }
            s += k;
            if (!bits_.ok()) return;
        }
    }

    const CompressReader &read_;
    BitWriter bits_;
    HuffTree tree_;
    std::unique_ptr<Tables> tables_;
    uint8_t *buffer_;  // the tables' parts
    uint32_t *head_, *prev_;
    uint32_t base_ = 0, end_ = 0;
    bool eof_ = false, failed_ = false;
    uint32_t inserted_ = 0;
    uint16_t nearest_ = 0;
};

}  // namespace

CompressResult CompressStream(CompressMode mode, const CompressReader &read, const CompressWriter &write)
{
    Coder coder(read, write);
    return coder.Run(mode);
}

// A reader over bytes in memory; offset is the caller's, so it outlives the reader.
static CompressReader MemoryReader(const uint8_t *data, size_t size, size_t &offset)
{
    return [data, size, &offset](uint8_t *buffer, size_t room, bool *) {
        size_t n = std::min(room, size - offset);
        if (n) memcpy(buffer, data + offset, n);
        offset += n;
        return n;
    };
}

std::vector<uint8_t> CompressBuffer(CompressMode mode, const uint8_t *data, size_t size)
{
    std::vector<uint8_t> stream;
    size_t offset = 0;
    CompressStream(
        mode,
        MemoryReader(data, size, offset),
        [&](const uint8_t *bytes, size_t count) {
            stream.insert(stream.end(), bytes, bytes + count);
            return true;
        });
    return stream;
}

// ---- Telling an incompressible input early ---------------------------------------------------------
namespace {

// Compressed or random data has nearly eight bits of information per byte and almost no recurring
// 4-byte sequences; anything measurably below either is left to the coder to judge.
constexpr double SkewedEntropy = 7.98;        // bits per byte, order 0, of a probe-sized block
constexpr uint32_t RecurringPerMille = 5;     // positions starting a 4-byte repeat within the history
constexpr uint32_t RepeatHashBits = 16;

class CompressibilityScan {
public:
    CompressibilityScan() : seen_(1u << RepeatHashBits, None) {}

    // The next block of the input, at most IncompressibleProbe bytes.
    bool LooksCompressible(const uint8_t *p, size_t n)
    {
        uint32_t count[256] = {0};
        for (size_t i = 0; i < n; ++i) count[p[i]]++;
        double sum = 0;
        for (uint32_t c : count)
            if (c) sum += c * log2((double)c);
        double entropy = log2((double)n) - sum / (double)n;

        // The history's tail of the earlier blocks, then this one; its last three positions wait
        // for the next block.
        size_t keep = bytes_.size();
        bytes_.insert(bytes_.end(), p, p + n);
        uint64_t start = offset_ - keep;  // input position of bytes_[0]
        uint32_t repeats = 0;
        for (size_t i = keep >= 3 ? keep - 3 : 0; i + 4 <= bytes_.size(); ++i) {
            uint32_t word;
            memcpy(&word, &bytes_[i], 4);
            uint32_t h = (word * 2654435761u) >> (32 - RepeatHashBits);
            uint64_t here = start + i, there = seen_[h];
            seen_[h] = here;
            if (there != None && there >= start && here - there <= HistorySize &&
                memcmp(&bytes_[there - start], &word, 4) == 0)
                ++repeats;
        }
        offset_ += n;
        if (bytes_.size() > HistorySize) bytes_.erase(bytes_.begin(), bytes_.end() - HistorySize);
        return entropy < SkewedEntropy || repeats * 1000 >= RecurringPerMille * n;
    }

private:
    static constexpr uint64_t None = ~(uint64_t)0;
    std::vector<uint64_t> seen_;   // the last position of each 4-byte hash
    std::vector<uint8_t> bytes_;
    uint64_t offset_ = 0;          // input position after the last block
};

}  // namespace

bool WillNotShrink(CompressMode mode, const CompressReader &read, uint64_t size)
{
    if (size <= 2 * IncompressibleProbe) return false;
    std::vector<uint8_t> block(IncompressibleProbe);
    bool failed = false;
    uint64_t total = 0;
    auto fill = [&]() {
        size_t n = 0;
        while (n < block.size() && !failed) {
            size_t got = read(block.data() + n, block.size() - n, &failed);
            if (got == 0) break;
            n += got;
        }
        total += n;
        return n;
    };
    // The first block is coded only when the scan finds nothing in it, so text and programs cost
    // a scan, not a second coding of their start.
    size_t n = fill();
    CompressibilityScan scan;
    if (n < block.size() || scan.LooksCompressible(block.data(), n)) return false;
    if (CompressBuffer(mode, block.data(), n).size() < n) return false;
    while ((n = fill()) > 0)
        if (scan.LooksCompressible(block.data(), n)) return false;
    // A failed read or an input of another size is for the coder's own pass to report.
    return !failed && total == size;
}

bool WillNotShrink(CompressMode mode, const uint8_t *data, size_t size)
{
    size_t offset = 0;
    return WillNotShrink(mode, MemoryReader(data, size, offset), size);
}
