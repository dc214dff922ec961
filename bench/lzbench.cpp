// Speed and size of the coder and decoder on a fixed corpus, with zlib on the same files as the
// yardstick. Prints medians of several runs; the targets are ratios within this one run.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>
#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <functional>
#include <random>
#include <string>
#include <vector>
#include "lzh/decoder.h"
#include "lzh/encoder.h"

typedef std::vector<uint8_t> Bytes;

static Bytes ReadFile(const std::string &path)
{
    Bytes b;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return b;
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) b.insert(b.end(), chunk, chunk + n);
    fclose(f);
    return b;
}

static Bytes Licences()
{
    std::vector<std::string> names;
    if (DIR *d = opendir("/usr/share/common-licenses")) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    Bytes all;
    for (auto &n : names) {
        Bytes f = ReadFile("/usr/share/common-licenses/" + n);
        all.insert(all.end(), f.begin(), f.end());
    }
    return all;
}

static std::string FindExecutable()
{
    const char *root = getenv("SSP_BUILD");
    std::string base = root ? root : "build";
    for (const char *rel : {"/win32/app/installer.exe", "/win64/app/installer.exe"}) {
        std::string p = base + rel;
        if (access(p.c_str(), R_OK) == 0) return p;
    }
    // Any PE program of the project's Windows builds.
    for (const char *kind : {"/win32", "/win64"}) {
        std::string cmd = "find '" + base + kind + "' -name '*.exe' -size +20k -print 2>/dev/null | sort | head -1";
        if (FILE *p = popen(cmd.c_str(), "r")) {
            char line[4096] = "";
            if (fgets(line, sizeof line, p)) line[strcspn(line, "\n")] = 0;
            pclose(p);
            if (line[0]) return line;
        }
    }
    return "";
}

static double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Seconds of one call, the median over runs repetitions.
static double Time(int runs, const std::function<void()> &work)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        auto a = std::chrono::steady_clock::now();
        work();
        auto b = std::chrono::steady_clock::now();
        t.push_back(std::chrono::duration<double>(b - a).count());
    }
    return Median(t);
}

static Bytes Deflate(const Bytes &in, int level)
{
    uLongf size = compressBound(in.size());
    Bytes out(size);
    compress2(out.data(), &size, in.data(), in.size(), level);
    out.resize(size);
    return out;
}

struct Row {
    std::string name;
    size_t size;
    double decode, encodeFast, encodeBest, fastPct, bestPct;
    double inflate, deflate6, deflate9, z6Pct, z9Pct;
};

static Row Measure(const std::string &name, const Bytes &in, int runs)
{
    Row r{};
    r.name = name;
    r.size = in.size();
    double mb = in.size() / 1e6;
    Bytes fast, best;
    r.encodeFast = mb / Time(runs, [&] { fast = CompressBuffer(CompressMode::Fast, in.data(), in.size()); });
    r.encodeBest = mb / Time(std::max(1, runs / 2), [&] { best = CompressBuffer(CompressMode::Best, in.data(), in.size()); });
    Bytes out(in.size());
    r.decode = mb / Time(runs, [&] {
        ExpandToMemory(best.data(), (uint32_t)best.size(), out.data(), (uint32_t)out.size(), (int32_t)in.size());
    });
    if (out != in) {
        fprintf(stderr, "%s: the expanded stream differs from the input\n", name.c_str());
        exit(1);
    }
    r.fastPct = 100.0 * fast.size() / in.size();
    r.bestPct = 100.0 * best.size() / in.size();

    Bytes z6, z9;
    r.deflate6 = mb / Time(runs, [&] { z6 = Deflate(in, 6); });
    r.deflate9 = mb / Time(runs, [&] { z9 = Deflate(in, 9); });
    r.inflate = mb / Time(runs, [&] {
        uLongf size = out.size();
        uncompress(out.data(), &size, z6.data(), z6.size());
    });
    r.z6Pct = 100.0 * z6.size() / in.size();
    r.z9Pct = 100.0 * z9.size() / in.size();
    return r;
}

// Peak resident memory of the best mode over a streamed input of the given size, in a child so the
// figure is the coder's own.
static long PeakMemoryOfBest(uint64_t total)
{
    fflush(NULL);
    pid_t pid = fork();
    if (pid == 0) {
        Bytes text = Licences();
        if (text.empty()) text.assign(65536, 'x');
        uint64_t fed = 0;
        CompressResult r = CompressStream(
            CompressMode::Best,
            [&](uint8_t *buffer, size_t size, bool *) {
                size_t n = (size_t)std::min<uint64_t>(size, total - fed);
                for (size_t i = 0; i < n; ++i) buffer[i] = text[(fed + i) % text.size()] ^ (uint8_t)((fed + i) >> 20);
                fed += n;
                return n;
            },
            [](const uint8_t *, size_t) { return true; });
        _exit(r.ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    struct rusage u;
    getrusage(RUSAGE_CHILDREN, &u);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? u.ru_maxrss : -1;
}

int main(int argc, char **argv)
{
    int runs = 5;
    bool memory = true;
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--runs=", 7) == 0) runs = std::max(1, atoi(argv[i] + 7));
        if (strcmp(argv[i], "--no-memory") == 0) memory = false;
    }
    std::vector<std::pair<std::string, Bytes>> corpus;
    corpus.push_back({"licence texts", Licences()});
    std::string exe = FindExecutable();
    if (!exe.empty()) corpus.push_back({"executable", ReadFile(exe)});
    Bytes noise(1 << 20);
    std::mt19937 rng(20240601);
    for (auto &b : noise) b = (uint8_t)rng();
    corpus.push_back({"random 1 MB", noise});

    printf("lzbench: medians of %d runs (best: %d); MB/s of output for decoding, of input for encoding\n", runs,
           std::max(1, runs / 2));
    if (exe.empty())
        printf("note: no PE executable of the project's Windows builds found under $SSP_BUILD (build win32 first)\n");
    else
        printf("executable: %s\n", exe.c_str());
    printf("%-14s %9s | %8s %8s %8s %7s %7s | %8s %8s %8s %7s %7s\n", "file", "bytes", "decode", "enc fast",
           "enc best", "fast %", "best %", "inflate", "zlib 6", "zlib 9", "z6 %", "z9 %");
    std::vector<Row> rows;
    for (auto &c : corpus) {
        if (c.second.empty()) continue;
        Row r = Measure(c.first, c.second, runs);
        rows.push_back(r);
        printf("%-14s %9zu | %8.1f %8.1f %8.1f %7.2f %7.2f | %8.1f %8.1f %8.1f %7.2f %7.2f\n", r.name.c_str(), r.size,
               r.decode, r.encodeFast, r.encodeBest, r.fastPct, r.bestPct, r.inflate, r.deflate6, r.deflate9, r.z6Pct,
               r.z9Pct);
        fflush(stdout);
    }
    printf("\ntargets:\n");
    for (auto &r : rows) {
        if (r.name == "random 1 MB") continue;
        double ratio = r.decode / r.inflate;
        printf("  decode / inflate on %-14s %.2f (target >= 0.50) %s\n", r.name.c_str(), ratio, ratio >= 0.5 ? "met" : "NOT met");
    }
    for (auto &r : rows) {
        double ratio = r.encodeFast / r.deflate6;
        printf("  fast encode / zlib 6 on %-10s %.2f (target >= 1.00) %s\n", r.name.c_str(), ratio, ratio >= 1.0 ? "met" : "NOT met");
    }
    for (auto &r : rows) {
        if (r.name != "licence texts") continue;
        double gain = 100.0 * (1.0 - r.bestPct / r.fastPct);
        printf("  best smaller than fast on text: %.1f %% (target >= 4 %%) %s\n", gain, gain >= 4.0 ? "met" : "NOT met");
    }
    if (memory) {
        long kb = PeakMemoryOfBest(100ull << 20);
        printf("  peak memory of the best coder over a streamed 100 MB input: %.1f MB (target < 64 MB) %s\n", kb / 1024.0,
               kb >= 0 && kb < 64 * 1024 ? "met" : "NOT met");
    }
    return 0;
}
