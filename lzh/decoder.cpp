// The decoder of compressed entries and the adaptive code it shares with the coder.
//
// Shape of a stream: every token starts with one symbol of the adaptive code, read as the path from
// the root to its leaf (0 = first child, 1 = second). The tree is updated with the symbol before
// anything else is read. A literal (0..255) is the next output byte; a match (256..283, length
// symbol - 253) is followed by a 12-bit distance D: a prefix code for D / 64 and six plain bits. The
// match copies from D + 1 bytes behind the write position, byte by byte, so it may overlap itself.
// There is no end marker: the stream ends when the expanded size is reached.
//
// ExpandStream runs a fast loop while the source window holds a full bit word and the sink has room
// for a longest match, and the careful steps (refill, drain, zero bits past the stored data) at the
// edges. ExpandStreamStepwise decodes through the single named steps only; both must agree exactly.
#include "lzh/decoder.h"
#include <string.h>

HuffTree DecoderTree;
HistoryWindow History;
BitReader Bits;

// ---- Distance code ------------------------------------------------------------------------------
// Canonical prefix code of the upper six bits: 1 code of 3 bits, 3 of 4, 8 of 5, 12 of 6, 24 of 7,
// 16 of 8, each the previous one plus one, shifted where the length grows. The tables map the next
// eight bits of the stream to the value and its code length.
static constexpr DistanceTables MakeDistanceTables()
{
    DistanceTables t{};
    const int countOfLength[9] = {0, 0, 0, 1, 3, 8, 12, 24, 16};
    int code = 0, value = 0;
    for (int len = 3; len <= 8; ++len) {
        for (int i = 0; i < countOfLength[len]; ++i, ++value, ++code) {
            int first = code << (8 - len);
            for (int e = 0; e < (1 << (8 - len)); ++e) {
                t.upper[first + e] = (uint8_t)value;
                t.length[first + e] = (uint8_t)len;
            }
        }
        code <<= 1;
    }
    return t;
}
static constexpr DistanceTables Distance = MakeDistanceTables();
static_assert(Distance.upper[255] == 63 && Distance.length[255] == 8, "the code fills all 256 entries");
static_assert(Distance.upper[0x20] == 1 && Distance.length[0x20] == 4, "the second code is 0010");
const DistanceTables DistanceCode = Distance;

// ---- The adaptive code ----------------------------------------------------------------------------
void ResetTree(HuffTree *tree)
{
    HuffTree &t = *tree;
    for (int s = 0; s < SymbolCount; ++s) {
        t.frequency[s] = 1;
        t.child[s] = (int16_t)(LeafMark + s);
        t.parent[LeafMark + s] = (int16_t)s;
    }
    for (int m = 0; m < SymbolCount - 1; ++m) {
        int j = SymbolCount + m;
        t.child[j] = (int16_t)(2 * m);
        t.frequency[j] = (uint16_t)(t.frequency[2 * m] + t.frequency[2 * m + 1]);
        t.parent[2 * m] = t.parent[2 * m + 1] = (int16_t)j;
    }
    t.frequency[NodeCount] = FrequencySentinel;
    t.parent[RootNode] = 0;
}

// Halves the leaves (rounding up, so none drops to 0) and builds the internal nodes again in
// frequency order; a new node goes behind every node of equal frequency.
void RebuildTree(HuffTree *tree)
{
    HuffTree &t = *tree;
    int j = 0;
    for (int i = 0; i < NodeCount; ++i) {
        if (t.child[i] >= LeafMark) {
            t.frequency[j] = (uint16_t)((t.frequency[i] + 1) / 2);
            t.child[j] = t.child[i];
            ++j;
        }
    }
    for (int i = 0; j < NodeCount; i += 2, ++j) {
        unsigned f = (unsigned)t.frequency[i] + t.frequency[i + 1];
        // The nodes of higher count make room by one position, found and moved in one pass (few
        // nodes move, and a call per move would cost more); the pair at i, i + 1 lies below them.
        int k = j;
        for (; f < t.frequency[k - 1]; --k) {
            t.frequency[k] = t.frequency[k - 1];
            t.child[k] = t.child[k - 1];
        }
        t.frequency[k] = (uint16_t)f;
        t.child[k] = (int16_t)i;
    }
    for (int i = 0; i < NodeCount; ++i) {
        int k = t.child[i];
        t.parent[k] = (int16_t)i;
        if (k < LeafMark) t.parent[k + 1] = (int16_t)i;
    }
}

// The index of the lowest lane whose top bit is set, the counts taken as they lie in memory.
static inline unsigned LowestLane(uint64_t tops)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return (unsigned)__builtin_ctzll(tops) >> 4;
#else
    return (unsigned)__builtin_clzll(tops) >> 4;
#endif
}

// The highest position whose frequency is below k, searched upward from from (itself below k).
// Four counts at a time, in the lanes of one word: a lane's top bit, set beforehand, survives
// subtracting k exactly when the count is at least k, and a count of 0x8000 or more (only the
// sentinel's; k stays below it) is at least any k. Runs of equal counts, long while the code is
// young or the data is noisy, then cost a quarter of the probes and a single unforeseen branch.
// The sentinel at 567 ends every search; the last few positions before it are probed one by one.
static inline int LastBelow(const HuffTree &t, int from, unsigned k)
{
    const uint64_t Tops = 0x8000800080008000ull;
    const uint64_t ks = k * 0x0001000100010001ull;
    for (;; from += 4) {
        if (from + 4 > NodeCount) {
            while (t.frequency[from + 1] < k) ++from;
            return from;
        }
        uint64_t counts;
        memcpy(&counts, &t.frequency[from + 1], sizeof counts);
        uint64_t atLeast = (((counts | Tops) - ks) | counts) & Tops;
        if (atLeast) return from + (int)LowestLane(atLeast);
    }
}

// Two levels of the walk per table look-up, for the fast loop: for each position its child link
// and, when it is internal, the child links of its two children. A walk then waits for one load
// per two bits instead of one per bit. Kept in step with DecoderTree by the fast loop's updates.
struct WalkStep {
    int16_t child;
    int16_t grandchild[2];
    int16_t unused;
};
static WalkStep Steps[NodeCount];

static inline void RenewStep(const HuffTree &t, int p)
{
    int k = t.child[p];
    Steps[p].child = (int16_t)k;
    if (k < LeafMark) {
        Steps[p].grandchild[0] = t.child[k];
        Steps[p].grandchild[1] = t.child[k + 1];
    }
}

static void RenewAllSteps(const HuffTree &t)
{
    for (int p = 0; p < NodeCount; ++p) RenewStep(t, p);
}

// Counts the symbol on the path from its leaf to the root. A node whose new count passes its right
// neighbour changes places with the last node of its old count, which keeps the positions sorted;
// coder and decoder must pick that same node.
template <bool WithSteps>
static inline int SwapPast(HuffTree &t, int c, unsigned k)
{
    int l = LastBelow(t, c + 1, k);
    t.frequency[c] = t.frequency[l];
    t.frequency[l] = (uint16_t)k;
    int i = t.child[c];
    // A subtree's parent entries: both children of an internal node, the one entry of a leaf
    // (written twice, which needs no branch).
    t.parent[i] = (int16_t)l;
    t.parent[i < LeafMark ? i + 1 : i] = (int16_t)l;
    int j = t.child[l];
    t.child[l] = (int16_t)i;
    t.parent[j] = (int16_t)c;
    t.parent[j < LeafMark ? j + 1 : j] = (int16_t)c;
    t.child[c] = (int16_t)j;
    if (WithSteps) {
        // Neither node lies in the other's subtree (l holds the count of c, so it cannot be above
        // it), so each step moves along with its subtree; the parents see new grandchildren.
        WalkStep step = Steps[c];
        Steps[c] = Steps[l];
        Steps[l] = step;
        Steps[t.parent[c]].grandchild[c & 1] = (int16_t)j;
        Steps[t.parent[l]].grandchild[l & 1] = (int16_t)i;
    }
    return l;
}

template <bool WithSteps>
static inline void CountUpFrom(HuffTree &t, int c)
{
    do {
        unsigned k = ++t.frequency[c];
        if (k > t.frequency[c + 1]) c = SwapPast<WithSteps>(t, c, k);
        c = t.parent[c];
    } while (c != 0);
}

template <bool WithSteps>
static inline void UpdateTree(HuffTree &t, int symbol)
{
    if (t.frequency[RootNode] == RebuildFrequency) {
        RebuildTree(&t);
        if (WithSteps) RenewAllSteps(t);
    }
    CountUpFrom<WithSteps>(t, t.parent[LeafMark + symbol]);
}

// The same update when the positions from the root down to the leaf are at hand from the walk:
// until the first exchange the parents are known, so the counts need not wait for the parent
// table; after an exchange the path no longer holds and the table is followed.
template <bool WithSteps>
static inline void UpdateTreeAlong(HuffTree &t, int symbol, const int16_t *path, int depth)
{
    if (t.frequency[RootNode] == RebuildFrequency) {
        UpdateTree<WithSteps>(t, symbol);
        return;
    }
    for (int d = depth - 1; d >= 0; --d) {
        int c = path[d];
        unsigned k = ++t.frequency[c];
        if (k > t.frequency[c + 1]) {
            c = SwapPast<WithSteps>(t, c, k);
            c = t.parent[c];
            if (c != 0) CountUpFrom<WithSteps>(t, c);
            return;
        }
    }
    ++t.frequency[RootNode];  // the sentinel above it is never passed
}

// The rest of the update after a walk that counted every position on its path already, as if no
// exchange were due; swapAt is the deepest level whose count passes its right neighbour (its parent,
// the only node of the path that may sit there, never does), -1 for none. A rebuild due comes
// before any count: every level takes its count back and the plain update runs. Otherwise the
// levels below swapAt counted rightly; those above take their count back, and the update goes on
// from there as usual.
static void CountAfterWalk(HuffTree &t, int symbol, const int16_t *path, int depth, int swapAt)
{
    if (t.frequency[RootNode] == RebuildFrequency) {
        for (int d = 0; d < depth; ++d) --t.frequency[path[d]];
        UpdateTree<true>(t, symbol);
        return;
    }
    for (int d = 0; d < swapAt; ++d) --t.frequency[path[d]];
    int c = path[swapAt];
    c = SwapPast<true>(t, c, t.frequency[c]);
    c = t.parent[c];
    if (c != 0) CountUpFrom<true>(t, c);
}

// The public forms update without the fast loop's walk steps.
void UpdateTree(HuffTree *tree, int symbol) { UpdateTree<false>(*tree, symbol); }
void UpdateTreeAlong(HuffTree *tree, int symbol, const int16_t *path, int depth)
{
    UpdateTreeAlong<false>(*tree, symbol, path, depth);
}

// ---- The single steps -----------------------------------------------------------------------------
// The bit reader keeps 16 bits at most; past the stored data it appends zero bytes.
static int NextStoredByte(void)
{
    if (Bits.remaining == 0) {
        Bits.padding++;
        return 0;
    }
    ExpandSource *src = Bits.source;
    if (src->next == src->end) src->refill(src, Bits.remaining);
    Bits.remaining--;
    return *src->next++;
}

static void TopUpBits(void)
{
    while (Bits.count <= 8) {
        Bits.buffer |= (uint32_t)NextStoredByte() << (8 - Bits.count);
        Bits.count += 8;
    }
}

void StartBitReader(ExpandSource *source, uint32_t storedSize)
{
    Bits.buffer = 0;
    Bits.count = 0;
    Bits.remaining = storedSize;
    Bits.padding = 0;
    Bits.source = source;
}

int ReadBit(void)
{
    TopUpBits();
    int bit = (int)(Bits.buffer >> 15) & 1;
    Bits.buffer = (Bits.buffer << 1) & 0xFFFF;
    Bits.count -= 1;
    return bit;
}

int Read8Bits(void)
{
    TopUpBits();
    int byte = (int)(Bits.buffer >> 8) & 0xFF;
    Bits.buffer = (Bits.buffer << 8) & 0xFFFF;
    Bits.count -= 8;
    return byte;
}

int DecodeSymbol(void)
{
    int n = DecoderTree.child[RootNode];
    while (n < LeafMark) n = DecoderTree.child[n + ReadBit()];
    int symbol = n - LeafMark;
    UpdateTree(&DecoderTree, symbol);
    return symbol;
}

int DecodeDistance(void)
{
    int b = Read8Bits();
    int upper = Distance.upper[b];
    for (int i = Distance.length[b] - 2; i > 0; --i) b = 2 * b + ReadBit();
    return upper * 64 + (b & 63);
}

static inline void DrainIfFull(ExpandSink *sink, int32_t total)
{
    if (sink->next == sink->end) sink->drain(sink, total);
}

static inline void PutByte(ExpandSink *sink, int32_t total, uint8_t x)
{
    *sink->next++ = x;
    DrainIfFull(sink, total);
}

// The positions behind the blanks are cleared as well: no valid stream reads them before writing
// them, but a damaged one then gives the same bytes whatever the previous stream left there.
static void StartHistory(void)
{
    memset(History.bytes, ' ', InitialBlanks);
    memset(History.bytes + InitialBlanks, 0, HistorySize - InitialBlanks);
    History.position = InitialBlanks;
}

void ExpandStreamStepwise(ExpandSource *source, ExpandSink *sink, ExpandProgress progress,
                          int32_t expandedSize, uint32_t storedSize)
{
    StartBitReader(source, storedSize);
    if (expandedSize == 0) return;
    ResetTree(&DecoderTree);
    StartHistory();
    int64_t produced = 0;  // wide: a final match may pass even the largest size
    if (expandedSize > 0) DrainIfFull(sink, expandedSize);
    while (produced < expandedSize) {
        int s = DecodeSymbol();
        if (s < LiteralCount) {
            PutByte(sink, expandedSize, (uint8_t)s);
            History.bytes[History.position] = (uint8_t)s;
            History.position = (History.position + 1) & HistoryMask;
            produced += 1;
        } else {
            uint32_t p = (History.position - (uint32_t)DecodeDistance() - 1) & HistoryMask;
            int length = s - MatchSymbolBase;
            for (int i = 0; i < length; ++i) {
                uint8_t x = History.bytes[p];
                PutByte(sink, expandedSize, x);
                History.bytes[History.position] = x;
                History.position = (History.position + 1) & HistoryMask;
                p = (p + 1) & HistoryMask;
            }
            produced += length;
        }
        if (progress && !progress((int32_t)(produced < INT32_MAX ? produced : INT32_MAX))) return;
    }
}

// ---- The fast loop --------------------------------------------------------------------------------
// The same steps with the bit buffer, the windows and the write position in locals. The bit word
// holds whole bytes taken from the source ahead of their use, which is invisible to the stream
// since the bits come out in the same order. ExpandStream's word is as wide as the machine's;
// ExpandStream32 always takes 32 bits, as the PE32 installer does.
template <typename BitWord>
static inline BitWord LoadBigEndian(const uint8_t *p)
{
    BitWord w = 0;
    for (unsigned i = 0; i < sizeof(BitWord); ++i) w = w << 8 | p[i];  // one load and a swap
    return w;
}

// n (3..30) bytes between ranges that do not overlap, in two moves of a size that fits, the
// second ending where the range ends: no loop, no call.
static inline void CopyShort(uint8_t *to, const uint8_t *from, size_t n)
{
    if (n >= 16) {
        memcpy(to, from, 16);
        memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
        memcpy(to, from, 8);
        memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        memcpy(to, from, 4);
        memcpy(to + n - 4, from + n - 4, 4);
    } else {
        memcpy(to, from, 2);
        memcpy(to + n - 2, from + n - 2, 2);
    }
}

// The fast loop's state: ExpandFast keeps it in one local and hands it to the helpers below, which
// are inlined, so it stays in registers and reaches the globals once, on the way out.
template <typename BitWord>
struct FastState {
    enum { WordBits = (int)(sizeof(BitWord) * 8) };
    BitWord buffer;    // valid bits at the top
    int count;         // number of valid bits
    uint32_t left;     // stored bytes not yet taken into the bit word
    uint32_t padding;  // zero bytes taken past them
    const uint8_t *in, *inEnd;
    uint8_t *out, *outEnd;
    uint32_t r;        // the next history write position
    ExpandSource *source;
    ExpandSink *sink;
    int32_t expandedSize;
};

// The source window's end, but never past the stored data.
template <typename BitWord>
static inline void TakeSourceWindow(FastState<BitWord> &s)
{
    s.in = s.source->next;
    s.inEnd = s.source->end;
    if ((size_t)(s.inEnd - s.in) > s.left) s.inEnd = s.in + s.left;
}

// Careful top-up: refills the source window when it is used up, zero bytes past the data.
template <typename BitWord>
static inline void TopUpCarefully(FastState<BitWord> &s)
{
    while (s.count <= s.WordBits - 8) {
        BitWord byte = 0;
        if (s.left) {
            if (s.in == s.inEnd) {
                s.source->next = s.in;
                s.source->refill(s.source, s.left);
                TakeSourceWindow(s);
            }
            byte = *s.in++;
            --s.left;
        } else {
            ++s.padding;
        }
        s.buffer |= byte << (s.WordBits - 8 - s.count);
        s.count += 8;
    }
}

// A whole word at once: the bytes that fit are taken, and the bits of the next one that land
// below the valid bits are the very bits it brings when it is taken, so they may stay.
template <typename BitWord>
static inline void TopUp(FastState<BitWord> &s)
{
    if (s.count > s.WordBits - 8) return;
    if ((size_t)(s.inEnd - s.in) >= sizeof(BitWord)) {
        s.buffer |= LoadBigEndian<BitWord>(s.in) >> s.count;
        int bytes = (s.WordBits - s.count) >> 3;
        s.in += bytes;
        s.left -= (uint32_t)bytes;
        s.count += bytes * 8;
    } else {
        TopUpCarefully(s);
    }
}

// The next n (1..14) bits of the stream, which the caller has made sure are there.
template <typename BitWord>
static inline unsigned Peek(const FastState<BitWord> &s, int n)
{
    return (unsigned)(s.buffer >> (s.WordBits - n));
}

template <typename BitWord>
static inline void Drop(FastState<BitWord> &s, int n)
{
    s.buffer <<= n;
    s.count -= n;
}

template <typename BitWord>
static inline void DrainIfFull(FastState<BitWord> &s)
{
    if (s.out == s.outEnd) {
        s.sink->next = s.out;
        s.sink->drain(s.sink, s.expandedSize);
        s.out = s.sink->next;
        s.outEnd = s.sink->end;
    }
}

// One byte to the output and to the history.
template <typename BitWord>
static inline void PutByte(FastState<BitWord> &s, uint8_t *window, uint8_t x)
{
    *s.out++ = x;
    DrainIfFull(s);
    window[s.r] = x;
    s.r = (s.r + 1) & HistoryMask;
}

// A position passed on the walk: noted on the path and counted at once; the deepest one whose
// count reaches its right neighbour's is the one that must change places.
static inline void CountPassed(HuffTree &t, int16_t *path, int &depth, int &swapAt, int c)
{
    path[depth] = (int16_t)c;
    unsigned f = t.frequency[c];
    swapAt = f >= t.frequency[c + 1] ? depth : swapAt;
    t.frequency[c] = (uint16_t)(f + 1);
    ++depth;
}

// The walk to a symbol, two levels per step: a step's first bit picks a child, whose link is
// either a leaf or, with the second bit, the next position. Returns the symbol, with the path,
// its depth and the deepest level that must change places (-1: none).
template <typename BitWord>
static inline int WalkToSymbol(FastState<BitWord> &s, HuffTree &t, int16_t *path, int *depth, int *swapAt)
{
    int d = 0, swap = -1;
    int node = RootNode;
    int leaf;
    for (;;) {
        if (s.count < 2) TopUp(s);
        int first = (int)Peek(s, 1);
        CountPassed(t, path, d, swap, Steps[node].child + first);
        int link = Steps[node].grandchild[first];
        if (link >= LeafMark) {
            Drop(s, 1);
            leaf = link;
            break;
        }
        node = link + (int)(Peek(s, 2) & 1);
        CountPassed(t, path, d, swap, node);
        Drop(s, 2);
        if (Steps[node].child >= LeafMark) {
            leaf = Steps[node].child;
            break;
        }
    }
    *depth = d;
    *swapAt = swap;
    return leaf - LeafMark;
}

// A match's distance code, read whole from the bit word: its history position.
template <typename BitWord>
static inline uint32_t MatchSource(FastState<BitWord> &s)
{
    if (s.count < 14) TopUp(s);
    unsigned b = Peek(s, 8);
    unsigned bits = Distance.length[b] + 6u;
    unsigned distance = Distance.upper[b] * 64 + (Peek(s, (int)bits) & 63u);
    Drop(s, (int)bits);
    return (s.r - distance - 1) & HistoryMask;
}

// A match of length bytes from history position p.
template <typename BitWord>
static inline void CopyMatch(FastState<BitWord> &s, uint8_t *window, uint32_t p, int length)
{
    uint32_t distance = (s.r - p) & HistoryMask;  // D + 1
    if (s.outEnd - s.out < MaxMatch) {
        for (int i = 0; i < length; ++i) {
            PutByte(s, window, window[p]);
            p = (p + 1) & HistoryMask;
        }
        return;
    }
    // Neither wrapping nor overlapping itself, behind r or far enough ahead of it: two plain
    // copies, no loop over the bytes.
    if (distance >= (uint32_t)length && distance <= HistorySize - MaxMatch && p + MaxMatch <= HistorySize &&
        s.r + MaxMatch <= HistorySize) {
        CopyShort(s.out, window + p, (size_t)length);
        CopyShort(window + s.r, window + p, (size_t)length);
        s.r = (s.r + (uint32_t)length) & HistoryMask;
    } else {
        for (int i = 0; i < length; ++i) {
            uint8_t x = window[p];
            s.out[i] = x;
            window[s.r] = x;
            s.r = (s.r + 1) & HistoryMask;
            p = (p + 1) & HistoryMask;
        }
    }
    s.out += length;
    DrainIfFull(s);
}

template <typename BitWord>
static void ExpandFast(ExpandSource *source, ExpandSink *sink, ExpandProgress progress, int32_t expandedSize,
                       uint32_t storedSize)
{
    StartBitReader(source, storedSize);
    if (expandedSize == 0) return;
    ResetTree(&DecoderTree);
    RenewAllSteps(DecoderTree);
    StartHistory();

    HuffTree &t = DecoderTree;
    int16_t path[NodeCount];  // the positions of the current symbol's walk, root side first
    uint8_t *const window = History.bytes;
    FastState<BitWord> s;
    s.buffer = 0;
    s.count = 0;
    s.left = storedSize;
    s.padding = 0;
    s.source = source;
    s.sink = sink;
    s.expandedSize = expandedSize;
    s.r = InitialBlanks;
    TakeSourceWindow(s);
    s.out = sink->next;
    s.outEnd = sink->end;

    int64_t produced = 0;
    if (expandedSize > 0) DrainIfFull(s);
    while (produced < expandedSize) {
        TopUp(s);
        int depth, swapAt;
        int symbol = WalkToSymbol(s, t, path, &depth, &swapAt);
        if (swapAt < 0 && t.frequency[RootNode] != RebuildFrequency)
            ++t.frequency[RootNode];
        else
            CountAfterWalk(t, symbol, path, depth, swapAt);
        if (symbol < LiteralCount) {
            PutByte(s, window, (uint8_t)symbol);
            produced += 1;
        } else {
            int length = symbol - MatchSymbolBase;
            CopyMatch(s, window, MatchSource(s), length);
            produced += length;
        }
        if (progress) {
            History.position = s.r;  // what a pump may look at
            if (!progress((int32_t)(produced < INT32_MAX ? produced : INT32_MAX))) break;
        }
    }
    source->next = s.in;
    sink->next = s.out;
    History.position = s.r;
    Bits.remaining = s.left;
    Bits.count = (uint32_t)s.count;
    Bits.padding = s.padding;
}

void ExpandStream(ExpandSource *source, ExpandSink *sink, ExpandProgress progress, int32_t expandedSize,
                  uint32_t storedSize)
{
    ExpandFast<size_t>(source, sink, progress, expandedSize, storedSize);
}

void ExpandStream32(ExpandSource *source, ExpandSink *sink, ExpandProgress progress, int32_t expandedSize,
                    uint32_t storedSize)
{
    ExpandFast<uint32_t>(source, sink, progress, expandedSize, storedSize);
}

int StreamOverran(void)
{
    return (uint64_t)Bits.padding * 8 > Bits.count;
}

// ---- Memory to memory -----------------------------------------------------------------------------
namespace {
struct MemorySink {
    ExpandSink sink;
    uint8_t *output;
    uint32_t room;
    int dropping;
    uint64_t dropped;
    uint8_t surplus[MaxMatch];
};

void DropSurplus(ExpandSink *sink, int32_t)
{
    MemorySink *m = (MemorySink *)sink;
    if (m->dropping) m->dropped += (uint64_t)(sink->next - m->surplus);
    m->dropping = 1;
    sink->next = m->surplus;
    sink->end = m->surplus + sizeof m->surplus;
}

void NoMoreStoredBytes(ExpandSource *, uint32_t) {}
}  // namespace

uint32_t ExpandToMemory(const uint8_t *stored, uint32_t storedSize, uint8_t *output, uint32_t capacity,
                        int32_t expandedSize, ExpandOutcome *outcome)
{
    // The window holds every stored byte, so refill is never asked for.
    ExpandSource source = {stored, stored + storedSize, NoMoreStoredBytes, 0};
    uint32_t room = expandedSize > 0 ? (uint32_t)expandedSize : 0;
    if (room > capacity) room = capacity;
    MemorySink m;
    m.output = output;
    m.room = room;
    m.dropping = 0;
    m.dropped = 0;
    m.sink = ExpandSink{output, output + room, DropSurplus, 0};
    ExpandStream(&source, &m.sink, 0, expandedSize, storedSize);
    if (outcome) {
        outcome->produced = m.dropping ? room + m.dropped + (uint64_t)(m.sink.next - m.surplus)
                                       : (uint64_t)(m.sink.next - output);
        outcome->overran = StreamOverran();
    }
    return room;
}
