// Only the headers decide: the MZ header's pointer to the PE signature, the file header's
// characteristics and the optional header's subsystem. Anything else is named by the signature
// its format starts with, or as text, for the message.
#include "sspack/format/program_kind.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "sspack/files.h"
#include "sspack/format/byte_io.h"
#include "sspack/tool_error.h"

namespace {

const size_t HeadSize = 4096;  // the bytes a file's format is told from
const uint16_t DllFlag = 0x2000;
enum { SubsystemNative = 1, SubsystemGui = 2, SubsystemConsole = 3 };
const uint32_t SubsystemOffset = 68;  // inside the optional header, the same in PE32 and PE32+

bool StartsWith(const Bytes &head, const char *signature, size_t length)
{
    return head.size() >= length && std::memcmp(head.data(), signature, length) == 0;
}

// Text in any of the encodings an author's editor writes: no control bytes but tab, line breaks
// and form feed (UTF-16 with its byte-order mark counts too).
bool LooksLikeText(const Bytes &head)
{
    if (StartsWith(head, "\xFF\xFE", 2) || StartsWith(head, "\xFE\xFF", 2)) return true;
    for (uint8_t c : head)
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') || c == 0x7F) return false;
    return true;
}

std::string NotAProgram(const Bytes &head)
{
    struct Signature {
        const char *bytes;
        size_t length;
        const char *what;
    };
    static const Signature Signatures[] = {
        {"\x89PNG\r\n\x1A\n", 8, "a PNG image"}, {"GIF8", 4, "a GIF image"},     {"\xFF\xD8\xFF", 3, "a JPEG image"},
        {"PK\x03\x04", 4, "a ZIP archive"},      {"FWS", 3, "a Flash movie"},    {"CWS", 3, "a Flash movie"},
        {"ZWS", 3, "a Flash movie"},             {"%PDF", 4, "a PDF document"},  {"RIFF", 4, "a RIFF file (sound or video)"},
        {"\x7F" "ELF", 4, "a Linux program"},
    };
    for (const Signature &s : Signatures)
        if (StartsWith(head, s.bytes, s.length)) return s.what;
    if (LooksLikeText(head)) return "a text file";
    return "binary data without an MZ header";
}

}  // namespace

ProgramKind KindOfFile(const std::string &path)
{
    FILE *f = OpenStream(path, "rb");
    if (!f) throw ToolError(path + ": cannot open");
    Bytes head(HeadSize);
    head.resize(std::fread(head.data(), 1, head.size(), f));
    ProgramKind kind;
    if (!StartsWith(head, "MZ", 2)) {
        std::fclose(f);
        kind.what = NotAProgram(head);
        return kind;
    }
    // The PE signature, the file header and the optional header as far as its subsystem.
    uint8_t pe[4 + 20 + SubsystemOffset + 2] = {};
    uint32_t peAt = head.size() >= 0x40 ? GetU32(head, 0x3C) : 0;
    bool read = peAt && SeekFile(f, peAt) && std::fread(pe, 1, sizeof pe, f) == sizeof pe;
    std::fclose(f);
    if (!read || std::memcmp(pe, "PE\0\0", 4) != 0) {
        kind.what = read && (std::memcmp(pe, "NE", 2) == 0 || std::memcmp(pe, "LE", 2) == 0)
                        ? "a 16-bit Windows program"
                        : "an MS-DOS program";
        return kind;
    }
    uint16_t characteristics = (uint16_t)(pe[4 + 18] | pe[4 + 19] << 8);
    uint16_t subsystem = (uint16_t)(pe[24 + SubsystemOffset] | pe[24 + SubsystemOffset + 1] << 8);
    if (characteristics & DllFlag) {
        kind.what = "a DLL";
        return kind;
    }
    kind.windowsProgram = true;
    kind.gui = subsystem == SubsystemGui;
    if (kind.gui) kind.what = "a Windows GUI program";
    else if (subsystem == SubsystemConsole) kind.what = "a console program";
    else if (subsystem == SubsystemNative) kind.what = "a driver";
    else kind.what = "a program for subsystem " + std::to_string(subsystem);
    return kind;
}
