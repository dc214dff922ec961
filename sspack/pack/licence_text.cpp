// A licence saved by a Linux editor is UTF-8, by Notepad often UTF-16 or UTF-8 with a byte-order
// mark: each is turned into the Windows-1252 bytes the installer's dialog shows, or refused where
// it would show something else than the author wrote.
#include "sspack/pack/licence_text.h"

#include <cstdint>
#include <vector>

#include "payload/block.h"
#include "sspack/format/names.h"
#include "sspack/tool_error.h"

namespace {

std::string Line(size_t line)
{
    return "line " + std::to_string(line);
}

// The code points of UTF-16 text behind its byte-order mark.
std::vector<uint32_t> DecodeUtf16(const Bytes &raw, bool bigEndian, const std::string &name)
{
    std::vector<uint32_t> text;
    size_t line = 1;
    auto unit = [&](size_t at) {
        return bigEndian ? (uint32_t)(raw[at] << 8 | raw[at + 1]) : (uint32_t)(raw[at] | raw[at + 1] << 8);
    };
    for (size_t at = 2; at < raw.size(); at += 2) {
        if (at + 1 >= raw.size()) throw ToolError(name + ": UTF-16 text that ends inside a character");
        uint32_t cp = unit(at);
        if (cp >= 0xD800 && cp < 0xDC00 && at + 3 < raw.size()) {
            uint32_t low = unit(at + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                at += 2;
            }
        }
        if (cp >= 0xD800 && cp < 0xE000)
            throw ToolError(name + ": " + Line(line) + " is not UTF-16 (a lone surrogate " + CharacterName(cp) + ")");
        if (cp == '\n') line++;
        text.push_back(cp);
    }
    return text;
}

std::vector<uint32_t> DecodeUtf8Text(const std::string &bytes)
{
    std::vector<uint32_t> text;
    for (size_t i = 0; i < bytes.size();) {
        uint32_t cp = 0;
        i += DecodeUtf8(bytes, i, &cp);
        text.push_back(cp);
    }
    return text;
}

size_t FirstMalformedLine(const std::string &bytes)
{
    size_t line = 1;
    for (size_t i = 0; i < bytes.size();) {
        uint32_t cp = 0;
        int length = DecodeUtf8(bytes, i, &cp);
        if (!length) return line;
        if (cp == '\n') line++;
        i += length;
    }
    return line;
}

}  // namespace

std::string PrepareLicence(const Bytes &raw, const std::string &name)
{
    std::vector<uint32_t> text;
    bool utf16 = raw.size() >= 2 && ((raw[0] == 0xFF && raw[1] == 0xFE) || (raw[0] == 0xFE && raw[1] == 0xFF));
    bool bom8 = raw.size() >= 3 && raw[0] == 0xEF && raw[1] == 0xBB && raw[2] == 0xBF;
    if (utf16) {
        text = DecodeUtf16(raw, raw[0] == 0xFE, name);
    } else {
        std::string bytes(raw.begin() + (bom8 ? 3 : 0), raw.end());
        if (LooksLikeUtf8(bytes)) {
            text = DecodeUtf8Text(bytes);
        } else if (bom8) {
            throw ToolError(name + ": begins with the UTF-8 byte-order mark, but " + Line(FirstMalformedLine(bytes)) +
                            " is not UTF-8");
        } else {
            for (char c : bytes) text.push_back(Cp1252ToCodePoint((uint8_t)c));  // Windows-1252 already
        }
    }
    std::string stored;
    size_t line = 1;
    for (size_t i = 0; i < text.size(); i++) {
        uint32_t cp = text[i];
        if (cp == 0)
            throw ToolError(name + ": " + Line(line) + " holds a NUL byte; the installer would show only the text before it" +
                            (utf16 ? "" : " (UTF-16 without a byte-order mark? save it as UTF-8)"));
        uint8_t byte;
        if (!CodePointToCp1252(cp, &byte))
            throw ToolError(name + ": " + Line(line) + " holds " + CharacterName(cp) +
                            ", which Windows-1252 cannot write (the installer shows the licence in Windows-1252)");
        if (cp == '\n') {
            if (i == 0 || text[i - 1] != '\r') stored += '\r';
            line++;
        }
        stored += (char)byte;
    }
    if (stored.empty()) throw ToolError(name + ": the file is empty" + std::string(raw.empty() ? "" : " but for its byte-order mark"));
    if (stored.size() > MaxLicenceLength)
        throw ToolError(name + ": " + std::to_string(stored.size()) +
                        " bytes as the installer stores it (Windows-1252, CR LF line breaks); at most 65535 fit");
    return stored;
}
