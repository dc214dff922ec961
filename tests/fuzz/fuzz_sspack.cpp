// sspack list and verify, and the PE model with the layout rule, on arbitrary files: each reports
// a verdict or a clear failure, never a crash or a read outside the file, and verify never calls
// sound what the installer's pre-check refuses.
#include <stdint.h>
#include <stdio.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "payload/check_payload.h"
#include "sspack/format/names.h"
#include "sspack/cli/cli.h"
#include "sspack/format/layout_rule.h"
#include "sspack/format/pe_image.h"
#include "sspack/tool_error.h"
#include "tests/fuzz/payload_seed.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string file = PayloadFuzzFile(data, size);
    size = file.size();
    Bytes bytes(file.begin(), file.end());
    try {
        PeImage image = ParsePeImage(bytes);
        LayoutRuleViolations(image);
        for (const ResourceType &type : image.resources)
            for (const ResourceName &name : type.names)
                for (const ResourceLanguage &language : name.languages)
                    if (language.data.fileOffset >= (int64_t)size) __builtin_trap();
    } catch (const ToolError &) {
    }

    static std::string path = "/tmp/fuzz_sspack_" + std::to_string(getpid()) + ".exe";
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return 0;
    fwrite(file.data(), 1, file.size(), f);
    fclose(f);
    for (const char *command : {"list", "verify"}) {
        std::ostringstream out, err;
        int code = RunSspack({command, path}, out, err);
        if (code != 0 && code != 1) __builtin_trap();
        if (code == 1 && out.str().empty() && err.str().empty()) __builtin_trap();  // a failure says why
        if (std::string(command) == "verify" && code == 0 &&
            InspectPayload(path.c_str(), OptionalHeaderOfMagic, TypicalWindows, TypicalApplicationData) != PayloadSound)
            __builtin_trap();
    }
    return 0;
}
