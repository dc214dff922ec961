// Fuzz input for the payload targets: an input whose first byte is odd is read as patches on a
// sound installer (three bytes each: offset low, offset high, value), so the fuzzer explores
// headers, directory and table from a working file instead of having to find a PE image first;
// any other input is taken as the file itself.
#pragma once
#include <stdint.h>

#include <string>

#include "tests/support/fixture_installer.h"

static inline std::string PayloadFuzzFile(const uint8_t *data, size_t size)
{
    if (size == 0 || (data[0] & 1) == 0) return std::string((const char *)data, size);
    static const std::string sound = BuildFixtureInstaller(
        "Fuzz", {{"screen saver", 0, ".SCR"}, {"data", 0, ".DAT"}, {"uninstaller", 0, ".EXE"}, {"movie", 0, ".SWF"}});
    std::string file = sound;
    size_t i = 1;
    for (; i + 3 <= size; i += 3) {
        size_t at = (data[i] | data[i + 1] << 8) % file.size();
        file[at] = (char)data[i + 2];
    }
    if (i < size && data[i] & 0x80) file.resize(file.size() - data[i] % file.size());  // a cut file
    return file;
}
