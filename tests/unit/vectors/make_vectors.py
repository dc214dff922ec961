#!/usr/bin/env python3
"""Writes compressed streams and their expected output, coded here from the format's own rules
(adaptive tree, its update and rebuild, the distance prefix code) without the project's coder, so
the decoder is held against something it did not produce itself.

    tests/unit/vectors/make_vectors.py          # rewrites the .lz/.out pairs and prints the short rows

Short vectors go into lzh_decoder_test.cpp as rows; long ones are kept as files beside this script.
"""
import os
import random

SYMBOLS, NODES, ROOT, LEAF = 284, 567, 566, 567
BLANKS, HISTORY = 4066, 4096


class Tree:
    def __init__(self):
        self.freq = [0] * (NODES + 1)
        self.child = [0] * NODES
        self.parent = [0] * (NODES + SYMBOLS)
        for s in range(SYMBOLS):
            self.freq[s] = 1
            self.child[s] = LEAF + s
            self.parent[LEAF + s] = s
        for m in range(SYMBOLS - 1):
            n = SYMBOLS + m
            self.child[n] = 2 * m
            self.freq[n] = self.freq[2 * m] + self.freq[2 * m + 1]
            self.parent[2 * m] = self.parent[2 * m + 1] = n
        self.freq[NODES] = 0xFFFF
        self.parent[ROOT] = 0
        self.rebuilds = 0

    def code(self, s):
        bits = []
        c = self.parent[LEAF + s]
        while c != ROOT:
            bits.append(c & 1)
            c = self.parent[c]
        return bits[::-1]

    def rebuild(self):
        self.rebuilds += 1
        f, ch = self.freq, self.child
        j = 0
        for i in range(NODES):
            if ch[i] >= LEAF:
                f[j] = (f[i] + 1) // 2
                ch[j] = ch[i]
                j += 1
        for m in range(SYMBOLS - 1):
            j = SYMBOLS + m
            total = f[2 * m] + f[2 * m + 1]
            k = j - 1
            while total < f[k]:  # behind every node of equal frequency
                k -= 1
            k += 1
            f[k + 1:j + 1] = f[k:j]
            ch[k + 1:j + 1] = ch[k:j]
            f[k] = total
            ch[k] = 2 * m
        for i in range(NODES):
            k = ch[i]
            self.parent[k] = i
            if k < LEAF:
                self.parent[k + 1] = i

    def update(self, s):
        f, ch, p = self.freq, self.child, self.parent
        if f[ROOT] == 0x8000:
            self.rebuild()
        c = p[LEAF + s]
        while True:
            f[c] += 1
            k = f[c]
            if k > f[c + 1]:
                l = c + 1
                while k > f[l]:
                    l += 1
                l -= 1
                f[c] = f[l]
                f[l] = k
                i, j = ch[c], ch[l]
                p[i] = l
                if i < LEAF:
                    p[i + 1] = l
                ch[l] = i
                p[j] = c
                if j < LEAF:
                    p[j + 1] = c
                ch[c] = j
                c = l
            c = p[c]
            if c == 0:
                break


def distance_code():
    lengths = [3] + [4] * 3 + [5] * 8 + [6] * 12 + [7] * 24 + [8] * 16
    codes, code, previous = [], 0, 3
    for u, length in enumerate(lengths):
        if u:
            code = (code + 1) << (length - previous)
        codes.append((code, length))
        previous = length
    return codes


DISTANCE = distance_code()


def bits_of(value, length):
    return [(value >> (length - 1 - i)) & 1 for i in range(length)]


def encode(tokens):
    """tokens: ints (literals) or (length, distance) pairs. Returns (stream, output)."""
    tree, bits = Tree(), []
    history = [0x20] * BLANKS + [None] * (HISTORY - BLANKS)
    r, out = BLANKS, []
    for token in tokens:
        symbol = token if isinstance(token, int) else token[0] + 253
        bits += tree.code(symbol)
        tree.update(symbol)
        if isinstance(token, int):
            out.append(token)
            history[r] = token
            r = (r + 1) % HISTORY
            continue
        length, d = token
        code, code_length = DISTANCE[d >> 6]
        bits += bits_of(code, code_length) + bits_of(d & 63, 6)
        q = (r - d - 1) % HISTORY
        for _ in range(length):
            assert history[q] is not None, "a valid stream never reads history it has not written"
            out.append(history[q])
            history[r] = history[q]
            r, q = (r + 1) % HISTORY, (q + 1) % HISTORY
    bits += [0] * (-len(bits) % 8)
    stream = bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))
    return stream, bytes(out), tree


def rebuild_tokens():
    # Skewed literals with many equal counts, so the rebuild's placement among equal frequencies
    # decides codes; then every literal once, each code read from the rebuilt tree.
    rng = random.Random(13)
    tokens = [rng.choice(b"aaaaaaaabbbbccd ") if rng.random() < 0.9 else rng.randrange(256) for _ in range(32600)]
    return tokens + list(range(256)) + [(30, 0), (12, 200)]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    short = [
        ("first token, D = 4065: the oldest blank", [(3, 4065)]),
        ("distances with non-zero low bits", [0x61, 0x62, 0x63, 0x64, (4, 1), (3, 6), (5, 0x41)]),
        ("a match reaching back into the blanks, one from the oldest blank", [0x78, 0x79, (6, 3), (5, 4067)]),
    ]
    for what, tokens in short:
        stream, out, _ = encode(tokens)
        print('{"%s", {%s}, %d, {%s}},' % (what, ", ".join("0x%02X" % b for b in stream), len(out),
                                            ", ".join("0x%02X" % b for b in out)))
    stream, out, tree = encode(rebuild_tokens())
    assert tree.rebuilds == 1
    with open(os.path.join(here, "rebuild.lz"), "wb") as f:
        f.write(stream)
    with open(os.path.join(here, "rebuild.out"), "wb") as f:
        f.write(out)
    print("rebuild.lz: %d bytes to %d" % (len(stream), len(out)))


if __name__ == "__main__":
    main()
