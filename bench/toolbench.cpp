// What an author and a downloader pay: the size of the PE32 programs every installer carries, and
// the memory and time of sspack verify, list and extract on a seeded installer of about 100 MB,
// each command a child process measured by getrusage. Prints figures; the targets are checked
// against figures of this one run.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

namespace {

const uint32_t Seed = 16;
const size_t RandomBytes = 90u << 20;
const size_t TextBytes = 12u << 20;
const double MemoryTargetMB = 64;

std::string BuildRoot()
{
    const char *root = getenv("SSP_BUILD");
    return root ? root : "build";
}

long long FileSize(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (long long)st.st_size : -1;
}

bool WriteFile(const std::string &path, const Bytes &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

Bytes ReadFile(const std::string &path)
{
    Bytes bytes(FileSize(path) > 0 ? (size_t)FileSize(path) : 0);
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return Bytes();
    bytes.resize(fread(bytes.data(), 1, bytes.size(), f));
    fclose(f);
    return bytes;
}

// Lines of words drawn from a small vocabulary: text that compresses about as a licence does.
Bytes SeededText(size_t size, std::mt19937 &random)
{
    static const char *const Words[] = {
        "the", "screen", "saver", "installer", "licence", "shall", "be", "of", "and", "any", "software", "without",
        "warranty", "Bildschirmschoner", "die", "der", "und", "Installation", "Datei", "wird", "copy", "modify",
        "distribute", "permission", "notice", "included", "in", "all", "copies", "or", "substantial", "portions",
        "provided", "as", "is", "express", "implied", "including", "but", "not", "limited", "to", "fitness", "for",
        "a", "particular", "purpose", "Nachthimmel", "Polarlichter", "Einstellungen", "author", "holders", "liable"};
    const size_t count = sizeof Words / sizeof Words[0];
    Bytes text;
    text.reserve(size + 64);
    size_t column = 0;
    while (text.size() < size) {
        const char *w = Words[random() % count];
        text.insert(text.end(), w, w + strlen(w));
        column += strlen(w) + 1;
        if (column > 72) {
            text.push_back('\r');
            text.push_back('\n');
            column = 0;
        } else {
            text.push_back(' ');
        }
    }
    text.resize(size);
    return text;
}

struct ChildRun {
    int status = -1;
    double seconds = 0;
    double peakMB = 0;
};

// Runs argv with output to /dev/null; the peak resident memory is the child's own.
ChildRun Run(const std::vector<std::string> &argv)
{
    ChildRun r;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char *> args;
        for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    struct rusage usage;
    if (pid < 0 || wait4(pid, &r.status, 0, &usage) != pid) return r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peakMB = usage.ru_maxrss / 1024.0;  // kilobytes on Linux
    return r;
}

// Seconds of zlib's inflate for a level-6 stream of text, the best of five (the machine is shared:
// the best run is the one least disturbed).
double InflateSeconds(const Bytes &text)
{
    uLongf size = compressBound(text.size());
    Bytes deflated(size);
    compress2(deflated.data(), &size, text.data(), text.size(), 6);
    deflated.resize(size);
    Bytes out(text.size());
    std::vector<double> t;
    for (int i = 0; i < 5; i++) {
        auto a = std::chrono::steady_clock::now();
        uLongf n = out.size();
        uncompress(out.data(), &n, deflated.data(), deflated.size());
        t.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count());
    }
    return *std::min_element(t.begin(), t.end());
}

const char *Verdict(bool met)
{
    return met ? "met" : "NOT met";
}

}  // namespace

int main(int argc, char **argv)
{
    // Another sspack may be measured on the same installer, an earlier build for instance.
    const std::string sspack = argc > 1 ? argv[1] : SSPACK_PATH;
    std::string root = BuildRoot();

    printf("toolbench: the PE32 programs and sspack on a seeded installer\n\n");
    struct Program {
        const char *path;
        long long target;
    } programs[] = {{"/win32/app/installer.exe", 40960},
                    {"/win32/app/installer-quiet.exe", 40960},
                    {"/win32/uninstall/UNINSTAL.EXE", 32768}};
    std::vector<std::string> sizeLines;
    for (const Program &p : programs) {
        long long size = FileSize(root + p.path);
        bool met = size > 0 && size <= p.target;
        char line[256];
        if (size < 0)
            snprintf(line, sizeof line, "  %-28s not built (make win32)  (target <= %lld) NOT met", p.path + 7, p.target);
        else
            snprintf(line, sizeof line, "  %-28s %7lld bytes (target <= %lld) %s", p.path + 7, size, p.target, Verdict(met));
        sizeLines.push_back(line);
    }

    std::string stub = root + "/win32/app/installer.exe";
    if (FileSize(stub) < 0) stub = root + "/win64/app/installer.exe";
    char dirTemplate[] = "/tmp/toolbench.XXXXXX";
    const char *dir = mkdtemp(dirTemplate);
    if (!dir || FileSize(stub) < 0 || access(sspack.c_str(), X_OK) != 0) {
        printf("cannot prepare: need %s, a built installer.exe and a temporary folder\n", sspack.c_str());
        return 1;
    }
    std::string d = dir;
    std::mt19937 random(Seed);
    Bytes noise(RandomBytes);
    for (size_t i = 0; i < noise.size(); i += 4) {
        uint32_t v = random();
        memcpy(&noise[i], &v, 4);
    }
    Bytes text = SeededText(TextBytes, random);
    std::string scr = d + "/Bench.scr", dat = d + "/bench.dat", uninstaller = d + "/UNINSTAL.EXE";
    WriteFile(scr, Bytes(65536, 0x90));
    WriteFile(dat, text);
    WriteFile(uninstaller, noise);
    // A child's peak counts the memory it had from the fork: keep this process small meanwhile.
    Bytes().swap(noise);
    Bytes().swap(text);

    std::string installer = d + "/big.exe", textOnly = d + "/text.exe";
    ChildRun build = Run({sspack, "build", "--stub", stub, "--title", "Bench", "--compress=fast", "--out",
                          installer, scr, dat, uninstaller});
    ChildRun buildText = Run({sspack, "build", "--stub", stub, "--title", "Text", "--compress=fast", "--out",
                              textOnly, dat});
    if (build.status != 0 || buildText.status != 0) {
        printf("sspack build failed (status %d, %d)\n", build.status, buildText.status);
        return 1;
    }
    printf("installer: %lld bytes (90 MiB random data stored, 12 MiB text compressed, seed %u), built in %.1f s "
           "with %.1f MB peak\n\n", FileSize(installer), Seed, build.seconds, build.peakMB);

    printf("%-8s %10s %9s\n", "command", "peak MB", "seconds");
    struct Command {
        const char *name;
        ChildRun run;
    } commands[] = {{"verify", Run({sspack, "verify", installer})},
                    {"list", Run({sspack, "list", installer})},
                    {"extract", Run({sspack, "extract", installer, d + "/out"})}};
    for (const Command &c : commands)
        printf("%-8s %10.1f %9.2f%s\n", c.name, c.run.peakMB, c.run.seconds, c.run.status == 0 ? "" : "  (failed)");

    // extract's speed on the text alone against zlib inflating the same text.
    std::vector<double> extractTimes;
    for (int i = 0; i < 5; i++) {
        ChildRun run = Run({sspack, "extract", textOnly, d + "/text"});
        if (run.status != 0) {
            printf("sspack extract of the text failed (status %d)\n", run.status);
            return 1;
        }
        extractTimes.push_back(run.seconds);
    }
    text = ReadFile(dat);
    double extractMBs = text.size() / 1e6 / *std::min_element(extractTimes.begin(), extractTimes.end());
    double inflateMBs = text.size() / 1e6 / InflateSeconds(text);
    printf("\nextract of the 12 MiB text (the process whole, best of 5): %.1f MB/s, zlib inflate of the same text: "
           "%.1f MB/s, ratio %.2f\n",
           extractMBs, inflateMBs, extractMBs / inflateMBs);

    printf("\ntargets:\n");
    for (const std::string &line : sizeLines) printf("%s\n", line.c_str());
    for (const Command &c : commands) {
        bool met = c.run.status == 0 && c.run.peakMB < MemoryTargetMB;
        printf("  peak memory of sspack %-7s %6.1f MB (target < %.0f MB) %s\n", c.name, c.run.peakMB, MemoryTargetMB,
               Verdict(met));
    }

    std::string clean = "rm -rf '" + d + "'";
    if (system(clean.c_str()) != 0) printf("note: could not remove %s\n", d.c_str());
    return 0;
}
