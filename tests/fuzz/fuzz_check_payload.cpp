// The installer's pre-check on arbitrary files: it must end with a verdict, and a file it calls
// sound must be one the installation can walk: a terminated table whose data lie inside the file.
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "payload/block.h"
#include "payload/check_payload.h"
#include "tests/fuzz/payload_seed.h"

static const char *InputPath(void)
{
    static char path[64];
    if (!path[0]) snprintf(path, sizeof path, "/tmp/fuzz_check_payload_%d.exe", (int)getpid());
    return path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string file = PayloadFuzzFile(data, size);
    FILE *f = fopen(InputPath(), "wb");
    if (!f) return 0;
    fwrite(file.data(), 1, file.size(), f);
    fclose(f);

    PayloadFault fault = InspectPayload(InputPath(), 0, "C:\\WINDOWS", "");
    if (fault != PayloadSound) return 0;
    FileHandle h = OpenPayloadBlockAt(InputPath(), 0);
    if (h == FileError || !SkipToPayloadTable(h)) __builtin_trap();
    PayloadEntry entry;
    int read;
    while ((read = ReadPayloadEntry(h, &entry)) == PayloadNext) {
        if ((uint64_t)entry.DataOffset + entry.StoredSize > file.size()) __builtin_trap();
        if (entry.ExpandedSize > 0x7FFFFFFFu) __builtin_trap();
    }
    if (read != PayloadEnd) __builtin_trap();
    FileClose(h);
    return 0;
}
