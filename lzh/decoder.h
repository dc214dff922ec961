// The decoder of compressed payload entries: an LZ scheme over a 4096-byte history whose literals and
// match lengths share one adaptive Huffman code, with a fixed prefix code for the distances.
// One global instance, fixed tables, no allocation; portable (installer, authoring tool, tests).
#pragma once
#include <stddef.h>
#include <stdint.h>

// Format constants, binding for every stream.
enum {
    HistorySize = 4096,
    HistoryMask = HistorySize - 1,
    MinMatch = 3,
    MaxMatch = 30,
    LiteralCount = 256,
    SymbolCount = LiteralCount + MaxMatch - MinMatch + 1,  // 284
    NodeCount = 2 * SymbolCount - 1,                       // 567
    RootNode = NodeCount - 1,                              // 566
    LeafMark = NodeCount,                                  // a child link of LeafMark + s is the leaf of s
    ParentCount = NodeCount + SymbolCount,                 // 851
    RebuildFrequency = 0x8000,
    FrequencySentinel = 0xFFFF,
    InitialBlanks = 4066,                                  // history 0..4065 hold blanks; writing starts at 4066
    MatchSymbolBase = LiteralCount - MinMatch,             // length = symbol - 253
    // The longest stream: sizes are signed 32-bit counts, so an ExpandedSize of 2 GiB or more
    // expands to nothing and is refused wherever a table is judged.
    MaxExpandedSize = 0x7FFFFFFF,
};

// The adaptive code, shared in step by coder and decoder. Positions 0..566 are sorted by frequency;
// frequency[567] holds the sentinel that ends the upward scan of the update.
struct HuffTree {
    uint16_t frequency[NodeCount + 1];
    int16_t child[NodeCount];     // internal: first child (even; the second follows); leaf: LeafMark + s
    int16_t parent[ParentCount];  // 0..566: parent of a position (root: 0); 567 + s: position of the leaf of s
};

// Tree operations over any instance: the decoder's is DecoderTree, the coder keeps its own.
void ResetTree(HuffTree *tree);
void UpdateTree(HuffTree *tree, int symbol);
void RebuildTree(HuffTree *tree);
// The same update as UpdateTree when the symbol's path is known: the positions from the root's
// child down to its leaf, as the tree stands before the update.
void UpdateTreeAlong(HuffTree *tree, int symbol, const int16_t *path, int depth);

// ---- Byte source, byte sink and progress check of one stream --------------------------------------
// The decoder takes stored bytes from [next, end) and writes output bytes to [next, end) of the
// sink, calling refill or drain only when the window is used up; the streams own the buffers, so a
// block reader, a chunked writer or plain memory all fit without a copy in between.
struct ExpandSource {
    const uint8_t *next;
    const uint8_t *end;
    // Called with next == end while stored bytes remain (remaining > 0: bytes not yet taken, those of
    // the window included); must make 1..remaining bytes ready or not return.
    void (*refill)(ExpandSource *source, uint32_t remaining);
    void *context;
};

struct ExpandSink {
    uint8_t *next;
    uint8_t *end;
    // Called as soon as the window is full (next == end), right after the byte that filled it, and
    // at the start when it is empty; must make room for at least one byte. total: the expanded size.
    void (*drain)(ExpandSink *sink, int32_t total);
    void *context;
};

// Run after every token with the bytes produced so far; 0 ends decoding. Null: never stop.
typedef int (*ExpandProgress)(int32_t produced);

// Decodes one stream of storedSize bytes to expandedSize bytes (0 or negative: nothing is produced,
// 0 without even touching the tree). A final match is handed to the sink whole, even past the
// expanded size: the sink decides what the surplus is worth. No result: the format has no check value.
void ExpandStream(ExpandSource *source, ExpandSink *sink, ExpandProgress progress,
                  int32_t expandedSize, uint32_t storedSize);

// ExpandStream with a 32-bit bit word whatever the machine's word, as the PE32 installer decodes:
// the hosts' tests and fuzzer hold it against the stepwise decoding as well.
void ExpandStream32(ExpandSource *source, ExpandSink *sink, ExpandProgress progress,
                    int32_t expandedSize, uint32_t storedSize);

// The same stream decoded one symbol at a time through the named operations below, without the fast
// path: the yardstick that the fuzzer and the tests hold ExpandStream against.
void ExpandStreamStepwise(ExpandSource *source, ExpandSink *sink, ExpandProgress progress,
                          int32_t expandedSize, uint32_t storedSize);

// What a stream turned out to be, for callers that check streams (the authoring tool, tests).
struct ExpandOutcome {
    uint64_t produced;  // bytes the tokens gave, the surplus of a final match included
    int overran;        // the tokens needed bits past the stored bytes
};

// After ExpandStream: 1 when its tokens needed bits past the stored bytes (a stream cut short).
int StreamOverran(void);

// Expands from memory into memory: writes min(expandedSize, capacity) bytes to output, drops the
// rest. Returns the number of bytes written.
uint32_t ExpandToMemory(const uint8_t *stored, uint32_t storedSize, uint8_t *output, uint32_t capacity,
                        int32_t expandedSize, ExpandOutcome *outcome = 0);

// ---- The decoder's global state and its single steps (for the stepwise path and the tests) -------
extern HuffTree DecoderTree;

struct HistoryWindow {
    uint8_t bytes[HistorySize];
    uint32_t position;  // r, the next write position
};
extern HistoryWindow History;

struct BitReader {
    uint32_t buffer;     // valid bits at the top
    uint32_t count;      // number of valid bits
    uint32_t remaining;  // stored bytes not yet taken from the source
    uint32_t padding;    // zero bytes appended after them
    ExpandSource *source;
};
extern BitReader Bits;

// The distance code's upper six bits and the code length (3..8) for the next eight bits of the stream.
struct DistanceTables {
    uint8_t upper[256];
    uint8_t length[256];
};
extern const DistanceTables DistanceCode;

void StartBitReader(ExpandSource *source, uint32_t storedSize);
int ReadBit(void);
int Read8Bits(void);
int DecodeSymbol(void);    // decodes a symbol from Bits and updates DecoderTree with it
int DecodeDistance(void);  // 0..4095
