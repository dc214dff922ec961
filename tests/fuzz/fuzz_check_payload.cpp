// The installer's pre-check on arbitrary files. It must end without reading outside the file, and
// what it passes must be safe for the install walk: a complete table, every entry's data inside
// the file, sizes below 2^31. On a sound installer with an integrity record, any cut of the file
// and any changed byte of the entries' data must be refused.
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "lzh/decoder.h"
#include "payload/block.h"
#include "payload/check_payload.h"
#include "payload/crc32.h"
#include "tests/support/fixture_installer.h"

static const char WindowsDirectory[] = "C:\\WINDOWS";
static const char ApplicationData[] = "C:\\ProgramData";

// A sound installer as the authoring tool writes it: the integrity record right behind the
// terminator, the data behind the record.
struct Sound {
    std::string file;
    size_t dataStart;  // first byte of the entries' data
};

static const Sound &SoundInstaller(void)
{
    static Sound sound;
    if (!sound.file.empty()) return sound;
    std::string file = BuildFixtureInstaller(
        "Fuzz", {{"screen saver", 0, ".SCR"}, {"data", 0, ".DAT"}, {"uninstaller", 0, ".EXE"}, {"movie", 0, ".SWF"}});
    // The fixture's block sits at the end of its resource section: 0x200 + 0x58.
    const size_t table = 0x258 + TableOffsetWithoutLicence, entries = 4;
    const size_t record = table + PayloadEntrySize * (entries + 1);
    std::string tail(IntegrityTag, IntegrityTagSize);
    tail += std::string(4, '\0');
    file.insert(record, tail);
    for (size_t i = 0; i < entries; i++) {
        size_t at = table + PayloadEntrySize * i;
        uint32_t offset = GetU32((const uint8_t *)&file[at]);
        PutU32((uint8_t *)&file[at], offset + IntegrityRecordSize);
    }
    PutU32((uint8_t *)&file[record + IntegrityTagSize], Crc32Update(0, file.data(), file.size()));
    sound.file = file;
    sound.dataStart = record + IntegrityRecordSize;
    return sound;
}

static const char *InputPath(void)
{
    static char path[64];
    if (!path[0]) snprintf(path, sizeof path, "/tmp/fuzz_check_payload_%d.exe", (int)getpid());
    return path;
}

static enum PayloadFault Inspect(const std::string &file)
{
    FILE *f = fopen(InputPath(), "wb");
    if (!f) return PayloadUnreachable;
    fwrite(file.data(), 1, file.size(), f);
    fclose(f);
    return InspectPayload(InputPath(), OptionalHeaderOfMagic, WindowsDirectory, ApplicationData);
}

// What the install walk relies on once the pre-check has passed a file.
static void CheckPassed(const std::string &file)
{
    FileHandle h = OpenPayloadBlockAt(InputPath(), OptionalHeaderOfMagic);
    if (h == FileError || !SkipToPayloadTable(h)) __builtin_trap();
    PayloadEntry entry;
    int read;
    size_t n = 0;
    while ((read = ReadPayloadEntry(h, &entry)) == PayloadNext) {
        if ((uint64_t)entry.DataOffset + entry.StoredSize > file.size()) __builtin_trap();
        if (entry.ExpandedSize > MaxExpandedSize) __builtin_trap();
        if (++n > file.size() / PayloadEntrySize) __builtin_trap();
    }
    if (read != PayloadEnd) __builtin_trap();
    FileClose(h);
}

// Inputs with an odd first byte are changes to the sound installer: three bytes each (offset low,
// offset high, value), then optionally a cut; other inputs are taken as the file itself.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Sound &sound = SoundInstaller();
    static bool seeded = false;
    if (!seeded) {
        seeded = true;
        if (Inspect(sound.file) != PayloadSound) __builtin_trap();  // the check must pass what the tool writes
    }
    std::string file;
    bool fromSound = size > 0 && (data[0] & 1);
    bool onlyData = true;  // every change lies in the entries' data
    bool cut = false;
    if (fromSound) {
        file = sound.file;
        size_t i = 1;
        for (; i + 3 <= size; i += 3) {
            size_t at = (data[i] | data[i + 1] << 8) % file.size();
            if (file[at] != (char)data[i + 2] && at < sound.dataStart) onlyData = false;
            file[at] = (char)data[i + 2];
        }
        if (i < size && data[i] & 0x80) {
            file.resize(file.size() - 1 - data[i] % file.size());
            cut = true;
        }
    } else {
        file.assign((const char *)data, size);
    }

    enum PayloadFault fault = Inspect(file);
    if (fault == PayloadSound) CheckPassed(file);
    if (fromSound && onlyData && file != sound.file && fault != PayloadChecksumWrong && !cut) __builtin_trap();
    if (fromSound && onlyData && cut && fault == PayloadSound) __builtin_trap();
    return 0;
}
