// The decoder on arbitrary streams: the fast loop (with the machine's bit word and with 32 bits) and
// the stepwise decoding must hand out the same bytes whatever the windows of source and sink, and
// never read or write outside them. The expanded size is bounded by what the stream could give.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <vector>
#include "lzh/decoder.h"

namespace {

struct ChunkedSource {
    ExpandSource source;
    const uint8_t *data;
    size_t size, taken, chunk;
};

// Hands the stored bytes out in windows of chunk bytes, each a fresh copy, so a read outside the
// window is a heap overflow.
std::vector<uint8_t> window;
void RefillChunk(ExpandSource *s, uint32_t remaining)
{
    ChunkedSource *c = (ChunkedSource *)s;
    if (remaining == 0 || remaining > c->size - c->taken) abort();
    size_t n = c->chunk < remaining ? c->chunk : remaining;
    window.assign(c->data + c->taken, c->data + c->taken + n);
    c->taken += n;
    s->next = window.data();
    s->end = window.data() + n;
}

struct CollectingSink {
    ExpandSink sink;
    std::vector<uint8_t> room, bytes;
};

void DrainRoom(ExpandSink *s, int32_t)
{
    CollectingSink *c = (CollectingSink *)s;
    c->bytes.insert(c->bytes.end(), c->room.data(), s->next);
    s->next = c->room.data();
    s->end = c->room.data() + c->room.size();
}

int tokensLeft;
int StopAfterSomeTokens(int32_t) { return --tokensLeft > 0; }

typedef void (*Expander)(ExpandSource *, ExpandSink *, ExpandProgress, int32_t, uint32_t);

std::vector<uint8_t> Run(bool fast, const uint8_t *data, size_t size, size_t chunk, size_t room, int32_t expanded,
                         int stopAfter, Expander fastOne = ExpandStream)
{
    ChunkedSource c = {{nullptr, nullptr, RefillChunk, nullptr}, data, size, 0, chunk};
    CollectingSink k;
    k.room.resize(room);
    k.sink = ExpandSink{k.room.data(), k.room.data(), DrainRoom, nullptr};
    tokensLeft = stopAfter;
    ExpandProgress progress = stopAfter ? StopAfterSomeTokens : nullptr;
    if (fast)
        fastOne(&c.source, &k.sink, progress, expanded, (uint32_t)size);
    else
        ExpandStreamStepwise(&c.source, &k.sink, progress, expanded, (uint32_t)size);
    k.bytes.insert(k.bytes.end(), k.room.data(), k.sink.next);
    if (c.taken > size) abort();
    return k.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4) return 0;
    // Header: expanded size (mostly up to 16 KB, one time in 16 up to 256 KB, or negative), source
    // window, sink window, stop after n tokens.
    int32_t expanded = (int32_t)((data[0] | data[1] << 8) & 0x3FFF);
    if ((data[2] & 15) == 15) expanded = (int32_t)((data[0] | data[1] << 8) * 4);
    if ((data[2] & 3) == 2 && data[1] == 0xFF) expanded = INT32_MIN + data[0];
    size_t chunk = 1 + (data[2] >> 2) * 37;
    size_t room = 1 + data[3] % 64 * 13;
    int stopAfter = data[3] >= 192 ? data[3] - 190 : 0;
    data += 4;
    size -= 4;
    // A token takes at least four bits and gives at most MaxMatch bytes: beyond 64 bytes per stored
    // byte the decoder only repeats what the exhausted source gives (zero bits), which a little of
    // the same shows as well as a lot.
    if (expanded > 0 && (uint64_t)expanded > 64 + 64 * (uint64_t)size) expanded = (int32_t)(64 + 64 * size);
    // Windows of a few bytes cost a call per byte or two; past the history's first wrap they show
    // nothing new, so they decode at most 6 KB.
    if ((chunk < 64 || room < 64) && expanded > 6144) expanded = 6144;
    std::vector<uint8_t> stepwise = Run(false, data, size, chunk, room, expanded, stopAfter);
    // The machine's bit word and the 32-bit one each once, with the input's windows or with wide
    // ones; which gets which alternates with the input's length.
    bool swap = size & 1;
    std::vector<uint8_t> fast = Run(true, data, size, swap ? chunk : 16384, swap ? room : 16384, expanded, stopAfter);
    std::vector<uint8_t> narrow =
        Run(true, data, size, swap ? 16384 : chunk, swap ? 16384 : room, expanded, stopAfter, ExpandStream32);
    if (stepwise != fast || fast != narrow) abort();
    // Every token gives at least one byte and at most a longest match: the output ends within one
    // match past the size, and nothing at all comes of a size of 0 or below.
    size_t want = expanded > 0 ? (size_t)expanded : 0;
    if (expanded <= 0 && !stepwise.empty()) abort();
    if (!stopAfter && expanded > 0 && (stepwise.size() < want || stepwise.size() >= want + MaxMatch)) abort();
    return 0;
}
