// Speed and size of the coder and decoder on a fixed corpus, with zlib on the same files as the
// yardstick, and a whole sspack build of random data. Prints medians of several turns; the targets
// are ratios within this one run, ours and zlib's timed by turns.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
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

// A PE program of the project's Windows builds: the given one of win32, else of win64, else (when
// anyOther) any larger .exe of them; empty when none is built.
static std::string FindExecutable(const char *relative, bool anyOther)
{
    const char *root = getenv("SSP_BUILD");
    std::string base = root ? root : "build";
    for (const char *kind : {"/win32/", "/win64/"}) {
        std::string p = base + kind + relative;
        if (access(p.c_str(), R_OK) == 0) return p;
    }
    if (!anyOther) return "";
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

// CPU seconds of this thread: the machine may be shared, and waiting for a core is not our time.
static double CpuNow()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

// CPU seconds of one call, from as many calls as make up 50 ms at least.
static double TimeOnce(const std::function<void()> &work)
{
    int calls = 0;
    double start = CpuNow(), elapsed;
    do {
        work();
        ++calls;
        elapsed = CpuNow() - start;
    } while (elapsed < 0.05);
    return elapsed / calls;
}

// Two pieces of work timed by turns, runs times: the medians of each, and the median of the
// ratios of each turn (a over b), so a load that comes and goes weighs on both alike.
struct Pair {
    double a, b, ratio;
};
static Pair TimePair(int runs, const std::function<void()> &a, const std::function<void()> &b)
{
    std::vector<double> ta, tb, ratio;
    for (int i = 0; i < runs; ++i) {
        ta.push_back(TimeOnce(a));
        tb.push_back(TimeOnce(b));
        ratio.push_back(ta.back() / tb.back());
    }
    return Pair{Median(ta), Median(tb), Median(ratio)};
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
    double decodeRatio;   // decode speed over inflate speed, by turns
    double entryFast;     // an entry made with --compress=fast: told incompressible, or coded
    double entryRatio;    // its speed over zlib level 6's, by turns
};

// Our decoder on best's stream and zlib's inflate on z6's, by turns, into the row; and whether ours
// gives the input back.
static void MeasureDecode(Row &r, const Bytes &in, const Bytes &best, const Bytes &z6, int runs)
{
    double mb = in.size() / 1e6;
    Bytes out(in.size());
    Pair decode = TimePair(
        runs,
        [&] { ExpandToMemory(best.data(), (uint32_t)best.size(), out.data(), (uint32_t)out.size(), (int32_t)in.size()); },
        [&] {
            uLongf size = out.size();
            uncompress(out.data(), &size, z6.data(), z6.size());
        });
    r.decode = mb / decode.a;
    r.inflate = mb / decode.b;
    r.decodeRatio = decode.b / decode.a;
    ExpandToMemory(best.data(), (uint32_t)best.size(), out.data(), (uint32_t)out.size(), (int32_t)in.size());
    if (out != in) {
        fprintf(stderr, "%s: the expanded stream differs from the input\n", r.name.c_str());
        exit(1);
    }
}

static Row Measure(const std::string &name, const Bytes &in, int runs)
{
    Row r{};
    r.name = name;
    r.size = in.size();
    double mb = in.size() / 1e6;
    Bytes fast, best, z6, z9;
    int bestRuns = std::max(1, runs / 2);
    r.encodeBest = mb / Median({TimeOnce([&] { best = CompressBuffer(CompressMode::Best, in.data(), in.size()); })});
    for (int i = 1; i < bestRuns; ++i) TimeOnce([&] { best = CompressBuffer(CompressMode::Best, in.data(), in.size()); });
    auto deflate6 = [&] { z6 = Deflate(in, 6); };
    // What sspack does with an entry: the raw coder only when the probe does not tell it off.
    auto entryFast = [&] {
        if (!WillNotShrink(CompressMode::Fast, in.data(), in.size())) fast = CompressBuffer(CompressMode::Fast, in.data(), in.size());
    };
    Pair encode = TimePair(runs, [&] { fast = CompressBuffer(CompressMode::Fast, in.data(), in.size()); }, deflate6);
    r.encodeFast = mb / encode.a;
    Pair entry = TimePair(runs, entryFast, deflate6);
    r.entryFast = mb / entry.a;
    r.entryRatio = entry.b / entry.a;
    fast = CompressBuffer(CompressMode::Fast, in.data(), in.size());
    r.deflate6 = mb / Median({entry.b, encode.b});
    r.deflate9 = mb / TimeOnce([&] { z9 = Deflate(in, 9); });
    z6 = Deflate(in, 6);
    MeasureDecode(r, in, best, z6, runs);
    r.fastPct = 100.0 * fast.size() / in.size();
    r.bestPct = 100.0 * best.size() / in.size();
    r.z6Pct = 100.0 * z6.size() / in.size();
    r.z9Pct = 100.0 * z9.size() / in.size();
    return r;
}

static std::string BuildRoot()
{
    const char *root = getenv("SSP_BUILD");
    return root ? root : "build";
}

// CPU seconds of a child process running argv (stdout and stderr to /dev/null); -1 when it fails.
static double ChildCpuSeconds(const std::vector<std::string> &argv)
{
    fflush(NULL);
    pid_t pid = fork();
    if (pid == 0) {
        FILE *null = freopen("/dev/null", "w", stdout);
        if (null) dup2(fileno(stdout), 2);
        std::vector<char *> args;
        for (auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage u;
    if (wait4(pid, &status, 0, &u) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return (double)u.ru_utime.tv_sec + u.ru_utime.tv_usec * 1e-6 + (double)u.ru_stime.tv_sec + u.ru_stime.tv_usec * 1e-6;
}

// A whole `sspack build --compress=fast` of 30 MB of seeded random data against zlib level 6 on the
// same bytes, by turns. Returns the ratio of speeds (sspack over zlib), 0 when sspack or a stub is
// missing; the figures go to the other arguments.
static double MeasureSspackBuild(int runs, const std::string &stub, double *sspackSeconds, double *zlibSeconds)
{
    std::string sspack = BuildRoot() + "/host/sspack/sspack";
    if (stub.empty() || access(sspack.c_str(), X_OK) != 0) return 0;
    char dir[] = "/tmp/lzbench-XXXXXX";
    if (!mkdtemp(dir)) return 0;
    std::string input = std::string(dir) + "/random.bin", output = std::string(dir) + "/random.exe";
    Bytes noise(30u << 20);
    std::mt19937 rng(20261208);
    for (size_t i = 0; i < noise.size(); i += 4) {
        uint32_t x = rng();
        memcpy(&noise[i], &x, 4);
    }
    FILE *f = fopen(input.c_str(), "wb");
    bool written = f && fwrite(noise.data(), 1, noise.size(), f) == noise.size();
    if (f) written = fclose(f) == 0 && written;
    std::vector<double> ts, tz, ratio;
    for (int i = 0; written && i < runs; ++i) {
        double a = ChildCpuSeconds({sspack, "build", "--stub", stub, "--title", "Bench", "--compress=fast", "--out", output, input});
        if (a <= 0) break;
        double start = CpuNow();
        Bytes z = Deflate(noise, 6);
        double b = CpuNow() - start;
        ts.push_back(a);
        tz.push_back(b);
        ratio.push_back(b / a);
    }
    unlink(input.c_str());
    unlink(output.c_str());
    rmdir(dir);
    if (ratio.empty()) return 0;
    *sspackSeconds = Median(ts);
    *zlibSeconds = Median(tz);
    return Median(ratio);
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
    bool memory = true, decodeOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--runs=", 7) == 0) runs = std::max(1, atoi(argv[i] + 7));
        if (strcmp(argv[i], "--no-memory") == 0) memory = false;
        if (strcmp(argv[i], "--decode-only") == 0) decodeOnly = true;
    }
    // The coder's peak first: a child shares the pages its parent holds, and the corpora below
    // and the heap the timed turns leave behind would count as the coder's.
    long peakKb = memory && !decodeOnly ? PeakMemoryOfBest(100ull << 20) : -1;
    // Two programs for the decoder: the stub, small, and the authoring tool, a large PE32 whose
    // code is most of it.
    std::vector<std::pair<std::string, Bytes>> corpus;
    corpus.push_back({"licence texts", Licences()});
    std::string exe = FindExecutable("app/installer.exe", true);
    std::string tool = FindExecutable("sspack/sspack.exe", false);
    if (!exe.empty()) corpus.push_back({"installer.exe", ReadFile(exe)});
    if (!tool.empty()) corpus.push_back({"sspack.exe", ReadFile(tool)});
    Bytes noise(1 << 20);
    std::mt19937 rng(20240601);
    for (auto &b : noise) b = (uint8_t)rng();
    corpus.push_back({"random 1 MB", noise});

    printf("lzbench: medians of %d turns, CPU time of this thread; MB/s of output for decoding, of input for\n"
           "encoding; \"entry fast\": an entry made with --compress=fast (stored at once when the probe tells\n"
           "it does not shrink); ratios are the medians of the ratios of each turn, ours and zlib's by turns\n",
           runs);
    if (exe.empty())
        printf("note: no PE executable of the project's Windows builds found under $SSP_BUILD (build win32 first)\n");
    else
        printf("executables: %s, %s\n", exe.c_str(), tool.empty() ? "(no sspack.exe: build win32)" : tool.c_str());
    printf("%-14s %9s | %8s %8s %8s %8s %7s %7s | %8s %8s %8s %7s %7s\n", "file", "bytes", "decode", "enc fast",
           "entry f", "enc best", "fast %", "best %", "inflate", "zlib 6", "zlib 9", "z6 %", "z9 %");
    std::vector<Row> rows;
    for (auto &c : corpus) {
        if (c.second.empty() || (decodeOnly && c.first == "random 1 MB")) continue;
        Row r{};
        if (decodeOnly) {
            // The decoder's figures alone: the streams made once, no coder timed.
            r.name = c.first;
            r.size = c.second.size();
            MeasureDecode(r, c.second, CompressBuffer(CompressMode::Best, c.second.data(), c.second.size()),
                          Deflate(c.second, 6), runs);
        } else {
            r = Measure(c.first, c.second, runs);
        }
        rows.push_back(r);
        printf("%-14s %9zu | %8.1f %8.1f %8.1f %8.1f %7.2f %7.2f | %8.1f %8.1f %8.1f %7.2f %7.2f\n", r.name.c_str(),
               r.size, r.decode, r.encodeFast, r.entryFast, r.encodeBest, r.fastPct, r.bestPct, r.inflate, r.deflate6,
               r.deflate9, r.z6Pct, r.z9Pct);
        fflush(stdout);
    }
    double sspackSeconds = 0, zlibSeconds = 0;
    double buildRatio = decodeOnly ? 0 : MeasureSspackBuild(std::max(1, std::min(runs, 3)), exe, &sspackSeconds, &zlibSeconds);
    if (buildRatio > 0)
        printf("sspack build --compress=fast of 30 MB of random data: %.2f s CPU; zlib level 6 on it: %.2f s\n",
               sspackSeconds, zlibSeconds);

    printf("\ntargets:\n");
    for (auto &r : rows) {
        if (r.name != "random 1 MB") continue;
        printf("  4. entry fast / zlib 6 on %-13s %5.2f (target >= 1.00) %s\n", r.name.c_str(), r.entryRatio,
               r.entryRatio >= 1.0 ? "met" : "NOT met");
    }
    if (buildRatio > 0)
        printf("  4. sspack build fast / zlib 6, 30 MB random %5.2f (target >= 1.00) %s\n", buildRatio,
               buildRatio >= 1.0 ? "met" : "NOT met");
    else if (!decodeOnly)
        printf("  4. sspack build fast / zlib 6, 30 MB random: not measured (needs %s/host/sspack/sspack and a stub) NOT met\n",
               BuildRoot().c_str());
    for (auto &r : rows) {
        if (r.name == "random 1 MB") continue;
        printf("  5. decode / inflate on %-16s %5.2f (target >= 0.30, stretch 0.35) %s\n", r.name.c_str(),
               r.decodeRatio, r.decodeRatio >= 0.35 ? "met, stretch too" : r.decodeRatio >= 0.30 ? "met" : "NOT met");
    }
    if (exe.empty()) printf("  5. decode / inflate on installer.exe: not measured NOT met\n");
    if (tool.empty()) printf("  5. decode / inflate on sspack.exe: not measured NOT met\n");
    for (auto &r : rows) {
        if (r.name != "licence texts" || decodeOnly) continue;
        double gain = 100.0 * (1.0 - r.bestPct / r.fastPct);
        printf("  best smaller than fast on text: %.1f %% (target >= 4 %%) %s\n", gain, gain >= 4.0 ? "met" : "NOT met");
    }
    if (memory && !decodeOnly)
        printf("  peak memory of the best coder over a streamed 100 MB input: %.1f MB (target < 64 MB) %s\n",
               peakKb / 1024.0, peakKb >= 0 && peakKb < 64 * 1024 ? "met" : "NOT met");
    return 0;
}
