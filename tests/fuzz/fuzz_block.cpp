// The installer's payload reader on arbitrary files: the PE walk, the title read and the table
// walk must end (found, unreachable or damaged) without reading outside what the file layer gave.
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "core/host_hooks.h"
#include "payload/block.h"
#include "tests/fuzz/payload_seed.h"

static const char *InputPath(void)
{
    static char path[64];
    if (!path[0]) snprintf(path, sizeof path, "/tmp/fuzz_block_%d.exe", (int)getpid());
    return path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string file = PayloadFuzzFile(data, size);
    size = file.size();
    FILE *f = fopen(InputPath(), "wb");
    if (!f) return 0;
    fwrite(file.data(), 1, file.size(), f);
    fclose(f);

    static const OptionalHeaderRule Rules[] = {OptionalHeaderOfMagic, OptionalHeaderPe32, OptionalHeaderPe32Plus};
    for (OptionalHeaderRule rule : Rules) {
        FileHandle h = OpenPayloadBlockAt(InputPath(), rule);
        if (h == FileError) continue;
        if (SkipToPayloadTable(h)) {
            PayloadEntry entry;
            uint64_t total = 0;
            int read;
            // The table holds at most one record per 28 bytes of file: a longer walk repeats records.
            for (size_t n = 0; (read = ReadPayloadEntry(h, &entry)) == PayloadNext; n++) {
                if (n > size / PayloadEntrySize) __builtin_trap();
                total += InstalledSize(&entry);
            }
            if (read == PayloadDamaged && (entry.StoredSize || entry.DataOffset)) __builtin_trap();
            (void)total;
        }
        FileClose(h);
    }

    char title[TitleFieldSize];
    memset(title, 'x', sizeof title);
    HostHoldOwnFile(InputPath());
    ReadScreenSaverTitle(title);
    HostHoldOwnFile(nullptr);
    if (memchr(title, 0, sizeof title) == nullptr && title[0] != 'x') __builtin_trap();
    return 0;
}
