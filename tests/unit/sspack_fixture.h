// Installers made by the authoring tool's own build code from the stubs the Windows builds
// compile (tests/unit/stub), and the tool's programs run from their command lines: this build's
// sspack, and the PE32 sspack.exe under Wine. A test whose stub or program is not built fails.
#pragma once
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sspack/pack/build_installer.h"
#include "sspack/format/names.h"
#include "tests/support/bytes.h"
#include "tests/support/files.h"

namespace packtest {

// "win32" (PE32) or "win64" (PE32+); variant names one of tests/unit/stub/*.rc.
inline std::string StubPath(const std::string &kind, const std::string &variant)
{
    return std::string(SSP_BUILD_DIR) + "/../" + kind + "/tests/unit/stubs/stub_" + variant + ".exe";
}

inline bool HaveStub(const std::string &kind, const std::string &variant = "good")
{
    return std::filesystem::exists(StubPath(kind, variant));
}

#define PACKTEST_NEED_STUB(kind, variant)                                                          \
    do {                                                                                           \
        if (!packtest::HaveStub(kind, variant))                                                    \
            GTEST_FAIL() << "test stub " << packtest::StubPath(kind, variant)                      \
                         << " not built: run make " << (kind) << " (or its stub_* targets) first"; \
    } while (0)

// What a signer does to an installer: zeros up to a multiple of 8 (none behind sspack's build),
// one certificate record of tableSize bytes appended, named by data directory entry 4, and a new
// CheckSum. The offsets are written out here, apart from the tool's own names for them.
inline Bytes SignLikeASigner(Bytes file, uint32_t tableSize = 1024)
{
    uint32_t optional = GetU32(file, 0x3C) + 24;
    uint32_t entry = optional + (GetU16(file, optional) == 0x20B ? 144 : 128);
    file.resize((file.size() + 7) / 8 * 8, 0);
    Bytes record = Pattern(tableSize, 77);
    PutU32(record, 0, tableSize);  // length, revision 2.0, PKCS#7 signed data
    PutU16(record, 4, 0x0200);
    PutU16(record, 6, 2);
    PutU32(file, entry, (uint32_t)file.size());
    PutU32(file, entry + 4, tableSize);
    PutU32(file, optional + 64, 0x00C0FFEE);
    file.insert(file.end(), record.begin(), record.end());
    return file;
}

// A program with the given subsystem (2 Windows GUI, 3 console): the PE32 test stub with its
// Subsystem field set, behind it bytes of the pattern up to size. The offsets are written out here,
// apart from the tool's own names for them.
inline Bytes ProgramWithSubsystem(uint16_t subsystem, size_t size, uint32_t seed)
{
    Bytes program = ReadFileBytes(StubPath("win32", "good"));
    PutU16(program, GetU32(program, 0x3C) + 24 + 68, subsystem);
    if (program.size() < size) {
        Bytes tail = Pattern(size - program.size(), seed);
        program.insert(program.end(), tail.begin(), tail.end());
    }
    return program;
}

inline Bytes GuiProgram(size_t size, uint32_t seed)
{
    return ProgramWithSubsystem(2, size, seed);
}

// A file in a directory of its own that goes away with the test.
class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/sspack_test_XXXXXX";
        path_ = mkdtemp(pattern) ? pattern : "";
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string Path(const std::string &name) const { return path_ + "/" + name; }
    std::string Write(const std::string &name, const Bytes &bytes) const
    {
        WriteFileBytes(Path(name), bytes);
        return Path(name);
    }

private:
    std::string path_;
};

// A file for a request: its bytes go to a directory of the test program's own, where the build
// reads them.
inline InputFile File(const std::string &name, const Bytes &bytes)
{
    static TempDir scratch;
    static int count = 0;
    InputFile file;
    file.name = name;
    file.extensionField = ExtensionField(name);
    file.path = scratch.Write(std::to_string(count++) + "_" + name, bytes);
    return file;
}

// The four files of a typical installer, each of its own size.
inline std::vector<InputFile> FourFiles()
{
    return {File("saver.scr", Pattern(5000, 1)), File("saver.dat", Pattern(300, 2)),
            File("uninst.exe", Pattern(4096, 3)), File("movie.swf", Pattern(999, 4))};
}

inline BuildRequest Request(const std::string &kind, const std::string &title, std::vector<InputFile> files,
                            const std::string &licence = "")
{
    BuildRequest request;
    request.stub = ReadFileBytes(StubPath(kind, "good"));
    request.title = title;
    request.licence = licence;
    request.files = std::move(files);
    return request;
}

// An installer made by the tool's build, through a file of its own, and its bytes read back.
struct BuiltInstaller : BuildResult {
    Bytes installer;
};

inline BuiltInstaller BuildThroughFile(const BuildRequest &request)
{
    TempDir dir;
    BuiltInstaller built;
    static_cast<BuildResult &>(built) = BuildInstallerFile(request, dir.Path("installer.exe"));
    built.installer = ReadFileBytes(dir.Path("installer.exe"));
    return built;
}

// ---- the programs -------------------------------------------------------------------------------

struct ToolRun {
    int code;
    std::string out, err;
};

// The same cases run against both programs: this build's sspack and the PE32 sspack.exe (with the
// stubs and uninstaller it ships beside it) under 32-bit Wine, in a prefix under the build root.
enum class Program { Host, Wine };

inline std::string ProgramPath(Program program)
{
    return program == Program::Host ? std::string(SSP_BUILD_DIR) + "/sspack/sspack"
                                    : std::string(SSP_BUILD_DIR) + "/../win32/sspack/sspack.exe";
}

inline const char *ProgramName(Program program)
{
    return program == Program::Host ? "sspack" : "sspack_exe_under_Wine";
}

#define PACKTEST_NEED_PROGRAM(program)                                                                \
    do {                                                                                              \
        if (!std::filesystem::exists(packtest::ProgramPath(program)))                                 \
            GTEST_FAIL() << packtest::ProgramPath(program) << " not built: run make "                 \
                         << ((program) == packtest::Program::Host ? "host asan" : "win32") << " first"; \
    } while (0)

// A Windows command line carries text: a program under Wine gets host paths as Z:\ paths, and
// its reports name them as the host does.
inline std::string WinePath(const std::string &arg)
{
    if (arg.empty() || arg[0] != '/') return arg;
    std::string path = "Z:" + arg;
    for (char &c : path)
        if (c == '/') c = '\\';
    return path;
}

inline std::string HostPaths(std::string text)
{
    for (size_t at = text.find("Z:\\"); at != std::string::npos; at = text.find("Z:\\", at)) {
        text.erase(at, 2);
        for (size_t i = at; i < text.size() && text[i] != ' ' && text[i] != '\n' && text[i] != ':'; i++)
            if (text[i] == '\\') text[i] = '/';
    }
    return text;
}

inline std::vector<std::string> WineEnvironment()
{
    std::vector<std::string> env;
    for (char **e = environ; *e; e++) {
        std::string entry = *e;
        if (entry.rfind("WINE", 0) != 0 && entry.rfind("LANG=", 0) != 0 && entry.rfind("LC_", 0) != 0)
            env.push_back(entry);
    }
    env.push_back("WINEPREFIX=" + std::string(SSP_BUILD_DIR) + "/../wineprefix-sspack");
    env.push_back("WINEDEBUG=-all");
    env.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
    env.push_back("LANG=C.UTF-8");  // host arguments are UTF-8 text
    return env;
}

// Runs argv with stdout and stderr into files (never pipes: a lingering wineserver would hold them).
inline int Spawn(const std::vector<std::string> &argv, const std::vector<std::string> *env, const std::string &outFile,
                 const std::string &errFile)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char *> args, vars;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    if (env) {
        for (const std::string &v : *env) vars.push_back(const_cast<char *>(v.c_str()));
        vars.push_back(nullptr);
    }
    pid_t pid;
    int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env ? vars.data() : environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The prefix is booted once, by whichever test comes first.
inline void BootWinePrefix()
{
    std::string prefix = std::string(SSP_BUILD_DIR) + "/../wineprefix-sspack";
    if (std::filesystem::exists(prefix + "/system.reg")) return;
    int lock = open((prefix + ".lock").c_str(), O_CREAT | O_RDWR, 0644);
    flock(lock, LOCK_EX);
    if (!std::filesystem::exists(prefix + "/system.reg")) {
        std::vector<std::string> env = WineEnvironment();
        Spawn({"wine", "wineboot", "-i"}, &env, "/dev/null", "/dev/null");
        Spawn({"wineserver", "-w"}, &env, "/dev/null", "/dev/null");
    }
    close(lock);
}

// path: a copy of the program elsewhere (default: the built one).
inline ToolRun RunProgram(Program program, const std::vector<std::string> &args, std::string path = "")
{
    if (path.empty()) path = ProgramPath(program);
    char pattern[] = "/tmp/sspack_run_XXXXXX";
    std::string dir = mkdtemp(pattern) ? pattern : "/tmp";
    std::vector<std::string> argv;
    std::vector<std::string> env;
    if (program == Program::Wine) {
        BootWinePrefix();
        env = WineEnvironment();
        argv = {"wine", path};
        for (const std::string &a : args) argv.push_back(WinePath(a));
    } else {
        argv = {path};
        argv.insert(argv.end(), args.begin(), args.end());
    }
    int code = Spawn(argv, program == Program::Wine ? &env : nullptr, dir + "/out", dir + "/err");
    ToolRun run{code, ReadFileBytes<std::string>(dir + "/out"), ReadFileBytes<std::string>(dir + "/err")};
    std::filesystem::remove_all(dir);
    if (program == Program::Wine) {
        run.out = HostPaths(run.out);
        run.err = HostPaths(run.err);
    }
    return run;
}

}  // namespace packtest
