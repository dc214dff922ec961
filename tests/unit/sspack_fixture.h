// Installers made by the authoring tool's own build code from the stubs the Windows builds
// compile (tests/unit/stub); tests skip, saying so, when those builds are not there.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/build_installer.h"
#include "tools/names.h"

namespace packtest {

// "win32" (PE32) or "win64" (PE32+); variant names one of tests/unit/stub/*.rc.
inline std::string StubPath(const std::string &kind, const std::string &variant)
{
    return std::string(SSP_BUILD_DIR) + "/../" + kind + "/tools/stubs/stub_" + variant + ".exe";
}

inline bool HaveStub(const std::string &kind, const std::string &variant = "good")
{
    return std::filesystem::exists(StubPath(kind, variant));
}

#define PACKTEST_NEED_STUB(kind, variant)                                                          \
    do {                                                                                           \
        if (!packtest::HaveStub(kind, variant))                                                    \
            GTEST_SKIP() << "test stub " << packtest::StubPath(kind, variant)                      \
                         << " not built: run make " << (kind) << " (or its stub_* targets) first"; \
    } while (0)

// Content that differs per file and per byte, so a misplaced or shifted copy cannot pass.
inline Bytes Pattern(size_t size, uint32_t seed)
{
    Bytes bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; i++) {
        x = x * 1103515245u + 12345u;
        bytes[i] = (uint8_t)(x >> 16);
    }
    return bytes;
}

inline InputFile File(const std::string &name, Bytes bytes)
{
    InputFile file;
    file.name = name;
    file.extensionField = ExtensionField(name);
    file.bytes = std::move(bytes);
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
    request.stub = ReadWholeFile(StubPath(kind, "good"));
    request.title = title;
    request.licence = licence;
    request.files = std::move(files);
    return request;
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
        WriteWholeFile(Path(name), bytes);
        return Path(name);
    }

private:
    std::string path_;
};

}  // namespace packtest
