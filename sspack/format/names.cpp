// Title and extension rules mirror what a Windows file name and a registry key name accept,
// since the title becomes both ("<title>.scr", the data folder, the uninstall key).
#include "sspack/format/names.h"

#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/layout.h"
#include "sspack/tool_error.h"

namespace {

// Windows-1252 0x80..0x9F; the five unassigned bytes stand for the C1 code points themselves.
const uint16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string &out, uint32_t cp)
{
    if (cp < 0x80) {
        out += (char)cp;
    } else if (cp < 0x800) {
        out += (char)(0xC0 | cp >> 6);
        out += (char)(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += (char)(0xE0 | cp >> 12);
        out += (char)(0x80 | (cp >> 6 & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    } else {
        out += (char)(0xF0 | cp >> 18);
        out += (char)(0x80 | (cp >> 12 & 0x3F));
        out += (char)(0x80 | (cp >> 6 & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    }
}

}  // namespace

uint32_t Cp1252ToCodePoint(uint8_t byte)
{
    return byte >= 0x80 && byte < 0xA0 ? HighControls[byte - 0x80] : byte;
}

bool CodePointToCp1252(uint32_t cp, uint8_t *byte)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) {
        *byte = (uint8_t)cp;
        return true;
    }
    for (int i = 0; i < 32; i++) {
        if (HighControls[i] == cp) {
            *byte = (uint8_t)(0x80 + i);
            return true;
        }
    }
    return false;
}

std::string CharacterName(uint32_t codePoint)
{
    char number[16];
    std::snprintf(number, sizeof number, "U+%04X", (unsigned)codePoint);
    bool control = codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0);
    if (control || (codePoint >= 0xD800 && codePoint < 0xE000) || codePoint > 0x10FFFF) return number;
    std::string name = "'";
    AppendUtf8(name, codePoint);
    return name + "' (" + number + ")";
}

int DecodeUtf8(const std::string &utf8, size_t i, uint32_t *codePoint)
{
    uint8_t lead = (uint8_t)utf8[i];
    int length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || i + length > utf8.size()) return 0;
    uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; k++) {
        uint8_t c = (uint8_t)utf8[i + k];
        if ((c & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (c & 0x3F);
    }
    static const uint32_t Least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < Least[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return 0;
    *codePoint = cp;
    return length;
}

bool LooksLikeUtf8(const std::string &text)
{
    uint32_t cp;
    for (size_t i = 0; i < text.size();) {
        int length = DecodeUtf8(text, i, &cp);
        if (!length) return false;
        i += length;
    }
    return true;
}

bool Utf8ToCp1252(const std::string &utf8, std::string *ansi)
{
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp;
        int length = DecodeUtf8(utf8, i, &cp);
        if (!length) return false;
        uint8_t byte;
        if (!CodePointToCp1252(cp, &byte)) return false;
        out += (char)byte;
        i += length;
    }
    *ansi = out;
    return true;
}

std::string Cp1252ToUtf8(const std::string &ansi)
{
    std::string out;
    for (char ch : ansi) AppendUtf8(out, Cp1252ToCodePoint((uint8_t)ch));
    return out;
}

std::string PrintableText(const std::string &ansi)
{
    std::string text;
    for (char c : ansi) {
        if (ControlByte((uint8_t)c)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", (unsigned)(uint8_t)c);
            text += escaped;
        } else {
            text += c;
        }
    }
    return Cp1252ToUtf8(text);
}

std::string TrimTrailingBlanks(const std::string &text)
{
    return text.substr(0, TrimmedLength(text.data(), text.size()));
}

std::string TitleProblem(const std::string &ansiTitle)
{
    if (ansiTitle.size() > MaxTitleLength)
        return "the title has " + std::to_string(ansiTitle.size()) + " characters, at most 259 fit";
    std::string title = TrimTrailingBlanks(ansiTitle);
    switch (TitleFaultOf(title.data(), title.size())) {
    case TitleSound:
        return "";
    case TitleEmpty:
        return "the title is empty";
    case TitleDotName:
        return "the title \"" + title + "\" is no name of its own: the data folder would be the vendor's folder";
    case TitleTrailingDot:
        return "the title ends in a dot; Windows drops it from the folder but not from the uninstall key";
    case TitleForbiddenByte:
        for (char c : title)
            if (ForbiddenNameByte((uint8_t)c))
                return "the title holds " + CharacterName(Cp1252ToCodePoint((uint8_t)c)) + ", not allowed in file names";
        return "the title holds a character not allowed in file names";
    case TitlePercentSign:
        return "the title holds a %; the uninstall entry's command is an expanded string, where % starts a variable";
    case TitleDeviceName:
        return "the title is a reserved device name of Windows";
    case TitleShortNameAlias:
        return "the title \"" + title + "\" has the shape of a short (8.3) name with a ~; on a drive with short "
               "names it may name another program's file or folder";
    }
    return "the title is refused";
}

std::string ExtensionField(const std::string &path)
{
    size_t slash = path.find_last_of("/\\");
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    std::string extension = dot == std::string::npos || dot == 0 ? "" : base.substr(dot);
    if (extension == ".") extension.clear();
    if (extension.size() > MaxExtensionLength)
        throw ToolError(path + ": the extension " + extension + " is longer than 15 characters, the installer would cut it");
    for (size_t i = 0; i < extension.size(); i++) {
        char &c = extension[i];
        uint8_t u = (uint8_t)c;
        uint32_t cp = u;
        if (u >= 0x80 && !DecodeUtf8(extension, i, &cp)) cp = Cp1252ToCodePoint(u);
        if (u >= 0x80)
            throw ToolError(path + ": the extension holds " + CharacterName(cp) +
                            "; the installer takes extensions of ASCII characters only");
        if (ForbiddenNameByte(u))
            throw ToolError(path + ": the extension holds " + CharacterName(cp) + ", not allowed in file names");
        if (c >= 'a' && c <= 'z') c = (char)(c - 32);
    }
    std::string field = extension;
    field.resize(16, ' ');
    if (!ExtensionFieldUsable(field.c_str()))
        throw ToolError(path + ": the extension \"" + extension +
                        "\" ends in a dot once its blanks are dropped; Windows would drop that dot as well");
    return field;
}

std::string EntryRole(size_t index)
{
    static const char *const Roles[] = {"screen saver", "data file", "uninstaller"};
    return index < 3 ? Roles[index] : "further file";
}

const char TypicalWindows[] = "C:\\WINDOWS";
const char TypicalApplicationData[] = "C:\\ProgramData";

namespace {

void CreateNoFolder(const char *) {}

// Room for the longest name the layout composes from this title: a folder holding it and a file
// named after it, around fixed parts of less than 256 characters.
std::vector<char> NameRoom(const std::string &title)
{
    return std::vector<char>(2 * title.size() + 256);
}

}  // namespace

std::string DestinationFileName(size_t index, const std::string &trimmedTitle, const char *extensionField)
{
    std::vector<char> name = NameRoom(trimmedTitle);
    ComposeEntryFileName((int)index, trimmedTitle.c_str(), extensionField, name.data(), name.size());
    return name.data();
}

std::string DestinationName(size_t index, const std::string &trimmedTitle, const char *extensionField)
{
    return std::string(index == 0 ? "Windows\\" : "DataFolder\\") +
           DestinationFileName(index, trimmedTitle, extensionField);
}

std::string TypicalDestination(size_t index, const std::string &trimmedTitle, const char *extensionField)
{
    const char *title = trimmedTitle.c_str();
    std::vector<char> file = NameRoom(trimmedTitle), saver = file, folder = file, destination = file;
    ComposeScreenSaverFile(title, file.data(), file.size());
    ComposeScreenSaverPath(TypicalWindows, file.data(), saver.data(), saver.size());
    ComposeDataFolder(TypicalApplicationData, TypicalWindows, title, CreateNoFolder, folder.data(), folder.size());
    ComposeEntryDestination((int)index, title, extensionField, saver.data(), folder.data(), destination.data(),
                            destination.size());
    return destination.data();
}

std::string TooLongOnTypicalSystem(const std::string &trimmedTitle, const std::vector<std::string> &extensionFields,
                                   size_t *longestTitle)
{
    // Each path holds the title once (the data file's twice: its folder and its name) around a
    // part of fixed length, so the longest title follows from the lengths with this one.
    size_t n = trimmedTitle.size();
    std::vector<char> folder = NameRoom(trimmedTitle), log = folder;
    ComposeDataFolder(TypicalApplicationData, TypicalWindows, trimmedTitle.c_str(), CreateNoFolder, folder.data(),
                      folder.size());
    ComposeLogPath(folder.data(), log.data(), log.size());
    std::string first;
    size_t longest = MaxTitleLength;
    auto measure = [&](const std::string &what, const std::string &path, size_t titles) {
        size_t fixed = path.size() - titles * n;
        longest = std::min(longest, fixed >= MaxTitleLength ? 0 : (MaxTitleLength - fixed) / titles);
        if (first.empty() && path.size() > MaxTitleLength)
            first = what + " would be " + PrintableText(path) + ", " + std::to_string(path.size()) + " characters";
    };
    measure("the data folder", folder.data(), 1);
    measure("the install log", log.data(), 1);
    for (size_t i = 0; i < extensionFields.size(); i++)
        measure("entry " + std::to_string(i) + " (" + EntryRole(i) + ")",
                TypicalDestination(i, trimmedTitle, extensionFields[i].c_str()), i == 1 ? 2 : 1);
    *longestTitle = longest;
    return first;
}
