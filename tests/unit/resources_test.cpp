// The resources of the built PE32 installer.exe read back: the three dialog templates control by
// control, the program icon, and the payload placeholder's place in the resource section. And what
// Windows reads from every shipped program before it runs it: imports, manifest, version.
#include <gtest/gtest.h>
#include <stdint.h>
#include <algorithm>
#include <string>
#include <vector>
#include "sspack/format/pe_image.h"
#include "sspack/tool_error.h"
#include "tests/support/files.h"

namespace {

// Window and control styles as the templates store them.
enum : uint32_t {
    Popup = 0x80000000, Child = 0x40000000, Visible = 0x10000000, Caption = 0x00C00000, Border = 0x00800000,
    VScroll = 0x00200000, SysMenu = 0x00080000, Group = 0x00020000, TabStop = 0x00010000,
    ModalFrame = 0x80, SetFont = 0x40, Centre = 0x800,
    PushButton = 0, DefPushButton = 1, StaticLeft = 0, StaticCentre = 1, NoPrefix = 0x80,
    Multiline = 0x4, NoHideSelection = 0x100, ReadOnly = 0x800,
};
const uint32_t IconType = 3, DialogType = 5, IconGroupType = 14, English = 1033;

std::string InstallerPath()
{
    return std::string(SSP_BUILD_DIR) + "/../win32/app/installer.exe";
}

struct Control {
    uint16_t id;
    std::string cls;
    std::string text;
    int x, y, w, h;
    uint32_t style;
    bool operator==(const Control &o) const
    {
        return id == o.id && cls == o.cls && text == o.text && x == o.x && y == o.y && w == o.w && h == o.h &&
               style == o.style;
    }
};

std::ostream &operator<<(std::ostream &out, const Control &c)
{
    char style[16];
    snprintf(style, sizeof style, "0x%08X", c.style);
    return out << "{" << c.id << " " << c.cls << " \"" << c.text << "\" " << c.x << "," << c.y << "," << c.w << ","
               << c.h << " " << style << "}";
}

struct Dialog {
    uint32_t style = 0, exStyle = 0;
    int x = 0, y = 0, w = 0, h = 0;
    bool hasMenu = false, hasClass = false;
    std::string caption, font;
    int pointSize = 0;
    std::vector<Control> controls;
};

// Reads a classic dialog template. UTF-16 texts come back as single bytes (Windows-1252 for
// the characters used here), so they compare with the program's own string literals.
class TemplateReader {
public:
    TemplateReader(const Bytes &file, size_t start, size_t size) : file_(file), at_(start), end_(start + size) {}
    bool failed = false;
    uint16_t U16()
    {
        if (at_ + 2 > end_) {
            failed = true;
            return 0;
        }
        uint16_t v = GetU16(file_, at_);
        at_ += 2;
        return v;
    }
    uint32_t U32() { return U16() | (uint32_t)U16() << 16; }
    std::string Text()
    {
        std::string s;
        for (uint16_t c; (c = U16()) != 0 && !failed;) s += c < 256 ? (char)c : '?';
        return s;
    }
    // A name-or-ordinal field; ordinals of the predefined classes are given their names.
    std::string NameOrOrdinal(bool *present = nullptr)
    {
        uint16_t first = U16();
        if (present) *present = first != 0;
        if (first == 0) return "";
        if (first == 0xFFFF) {
            uint16_t ordinal = U16();
            switch (ordinal) {
            case 0x80: return "button";
            case 0x81: return "edit";
            case 0x82: return "static";
            }
            return "#" + std::to_string(ordinal);
        }
        std::string s(1, first < 256 ? (char)first : '?');
        return s + Text();
    }
    void AlignToDword(size_t base) { at_ = base + ((at_ - base + 3) & ~(size_t)3); }
    size_t Position() const { return at_; }

private:
    const Bytes &file_;
    size_t at_, end_;
};

Dialog ReadDialog(const Bytes &file, const ResourceData &data)
{
    Dialog d;
    TemplateReader r(file, (size_t)data.fileOffset, data.size);
    size_t base = (size_t)data.fileOffset;
    d.style = r.U32();
    d.exStyle = r.U32();
    uint16_t count = r.U16();
    d.x = (int16_t)r.U16();
    d.y = (int16_t)r.U16();
    d.w = (int16_t)r.U16();
    d.h = (int16_t)r.U16();
    r.NameOrOrdinal(&d.hasMenu);
    r.NameOrOrdinal(&d.hasClass);
    d.caption = r.Text();
    if (d.style & SetFont) {
        d.pointSize = r.U16();
        d.font = r.Text();
    }
    for (uint16_t i = 0; i < count && !r.failed; i++) {
        r.AlignToDword(base);
        Control c;
        c.style = r.U32();
        r.U32();  // extended style
        c.x = (int16_t)r.U16();
        c.y = (int16_t)r.U16();
        c.w = (int16_t)r.U16();
        c.h = (int16_t)r.U16();
        c.id = r.U16();
        c.cls = r.NameOrOrdinal();
        for (char &ch : c.cls) ch = (char)tolower((unsigned char)ch);
        c.text = r.NameOrOrdinal();
        uint16_t extra = r.U16();
        for (uint16_t k = 0; k < extra; k++) r.U16();
        d.controls.push_back(c);
    }
    EXPECT_FALSE(r.failed) << "template runs past its resource";
    return d;
}

class InstallerResources : public ::testing::Test {
protected:
    static Bytes file;
    static PeImage image;
    static std::string loadError;
    static void SetUpTestSuite()
    {
        try {
            file = ReadFileBytes(InstallerPath());
            image = ParsePeImage(file);
        } catch (const std::runtime_error &e) {  // the file unreadable, or its PE model refused
            loadError = e.what();
        }
    }
    void SetUp() override
    {
        ASSERT_EQ(loadError, "") << "the PE32 installer is built by the win32 kind (make win32)";
    }
    Dialog Template(uint32_t id)
    {
        const ResourceData *data = FindResource(image, ResourceKey::Id(DialogType), ResourceKey::Id(id), English);
        EXPECT_NE(data, nullptr) << "dialog " << id;
        if (!data || data->fileOffset < 0) return Dialog();
        return ReadDialog(file, *data);
    }
};
Bytes InstallerResources::file;
PeImage InstallerResources::image;
std::string InstallerResources::loadError;

const uint16_t Static = 0xFFFF;

TEST_F(InstallerResources, BuiltAsPe32)
{
    EXPECT_EQ(image.magic, 0x10B);
    EXPECT_EQ(image.machine, 0x14C);
}

TEST_F(InstallerResources, ProgressDialogTemplate)
{
    Dialog d = Template(103);
    EXPECT_EQ(d.style, Popup | ModalFrame | Centre | SetFont);  // hidden, no caption bar
    EXPECT_EQ(d.exStyle, 0u);
    EXPECT_EQ(d.w, 187);
    EXPECT_EQ(d.h, 99);
    EXPECT_FALSE(d.hasMenu);
    EXPECT_FALSE(d.hasClass);
    EXPECT_EQ(d.caption, "");
    EXPECT_EQ(d.font, "MS Sans Serif");
    EXPECT_EQ(d.pointSize, 8);
    std::vector<Control> expected = {
        {1, "button", "OK", 131, 6, 50, 14, Child | TabStop | PushButton},
        {2, "button", "Abbrechen", 68, 78, 50, 14, Child | Visible | TabStop | DefPushButton},
        {Static, "static", "Installation", 50, 15, 86, 8, Child | Visible | Group | StaticCentre},
        {Static, "static", "Bitte warten...", 48, 50, 90, 8, Child | Visible | Group | StaticCentre},
        {1001, "static", "", 4, 31, 178, 8, Child | Visible | Group | NoPrefix | StaticCentre},
    };
    EXPECT_EQ(d.controls, expected);
}

TEST_F(InstallerResources, NoticeDialogTemplate)
{
    Dialog d = Template(104);
    EXPECT_EQ(d.style, Popup | Visible | Caption | SysMenu | ModalFrame | SetFont);
    EXPECT_EQ(d.w, 205);
    EXPECT_EQ(d.h, 154);
    EXPECT_FALSE(d.hasMenu);
    EXPECT_FALSE(d.hasClass);
    EXPECT_EQ(d.caption, "Vistaworks Bestellinformation");
    EXPECT_EQ(d.font, "MS Sans Serif");
    EXPECT_EQ(d.pointSize, 8);
    const uint32_t text = Child | Visible | Group | StaticCentre;
    std::vector<Control> expected = {
        {Static, "static", "*** VISTAWORKS ***", 23, 25, 158, 10, text},
        {Static, "static", "TM", 157, 18, 11, 8, Child | Visible | Group | StaticLeft},
        {1, "button", "OK", 78, 134, 50, 14, Child | Visible | TabStop | DefPushButton},
        {Static, "static", "Dieses Programm wurde erstellt mit", 23, 7, 158, 10, text},
        {Static, "static", "Benötigt keine Programmierkenntnisse", 23, 42, 158, 8, text},
        {Static, "static", "FREE screen savers at", 23, 59, 158, 8, Child | Group | StaticCentre},
        {Static, "static", "www.quilmark-vistaworks.example", 23, 70, 158, 8, text},
        {Static, "static", "Quilmark LLC\nLaternenweg 17\n00000 Nebelfurt\nFabulonien", 23, 91, 158, 36, text},
    };
    EXPECT_EQ(d.controls, expected);
}

TEST_F(InstallerResources, LicenceDialogTemplate)
{
    Dialog d = Template(106);
    EXPECT_EQ(d.style, Popup | Visible | Caption | SysMenu | ModalFrame | SetFont);
    EXPECT_EQ(d.w, 391);
    EXPECT_EQ(d.h, 262);
    EXPECT_EQ(d.caption, "License Agreement");
    EXPECT_EQ(d.font, "MS Sans Serif");
    EXPECT_EQ(d.pointSize, 8);
    std::vector<Control> expected = {
        {1, "button", "Accept", 137, 240, 50, 14, Child | Visible | TabStop | DefPushButton},
        {2, "button", "Decline", 203, 240, 50, 14, Child | Visible | TabStop | PushButton},
        // No ES_WANTRETURN: Enter in the text presses Accept.
        {1009, "edit", "", 12, 12, 366, 216,
         Child | Visible | Border | VScroll | TabStop | Multiline | ReadOnly | NoHideSelection},
    };
    EXPECT_EQ(d.controls, expected);
}

TEST_F(InstallerResources, ProgramIconIsOne32x32SixteenColourImage)
{
    const ResourceData *group = FindResource(image, ResourceKey::Id(IconGroupType), ResourceKey::Id(101), English);
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->size, 6u + 14u);
    size_t g = (size_t)group->fileOffset;
    EXPECT_EQ(GetU16(file, g + 2), 1);  // an icon group
    EXPECT_EQ(GetU16(file, g + 4), 1);  // of one image
    EXPECT_EQ(file[g + 6], 32);         // width
    EXPECT_EQ(file[g + 7], 32);         // height
    EXPECT_EQ(file[g + 8], 16);         // colours
    EXPECT_EQ(GetU16(file, g + 12), 4); // bits per pixel
    EXPECT_EQ(GetU32(file, g + 14), 744u);
    uint16_t imageId = GetU16(file, g + 18);
    EXPECT_EQ(imageId, 1);
    const ResourceData *icon = FindResource(image, ResourceKey::Id(IconType), ResourceKey::Id(imageId), English);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->size, 744u);
    size_t i = (size_t)icon->fileOffset;
    EXPECT_EQ(GetU32(file, i), 40u);       // a bitmap info header
    EXPECT_EQ(GetU32(file, i + 4), 32u);
    EXPECT_EQ(GetU32(file, i + 8), 64u);   // colour image and mask
    EXPECT_EQ(GetU16(file, i + 14), 4);
}

TEST_F(InstallerResources, EverythingUnderLanguage1033)
{
    ASSERT_FALSE(image.resources.empty());
    for (const ResourceType &type : image.resources)
        for (const ResourceName &name : type.names)
            for (const ResourceLanguage &language : name.languages)
                EXPECT_EQ(language.key, ResourceKey::Id(English)) << type.key.Text() << "/" << name.key.Text();
}

TEST_F(InstallerResources, PayloadPlaceholderFirstAtEveryLevelAndLastInTheData)
{
    ASSERT_GE(image.resourceSection, 0);
    ASSERT_FALSE(image.resources.empty());
    // The reader takes the first entry at each of the three levels without comparing names.
    const ResourceType &first = image.resources[0];
    EXPECT_EQ(first.key, ResourceKey::Name("LASTRES"));
    for (size_t t = 1; t < image.resources.size(); t++)
        EXPECT_FALSE(image.resources[t].key.named) << "a second named type: " << image.resources[t].key.Text();
    ASSERT_EQ(first.names.size(), 1u);
    EXPECT_EQ(first.names[0].key, ResourceKey::Id(1000));
    ASSERT_EQ(first.names[0].languages.size(), 1u);
    EXPECT_EQ(first.names[0].languages[0].key, ResourceKey::Id(English));
    const ResourceData &placeholder = first.names[0].languages[0].data;
    EXPECT_EQ(placeholder.size, 4u);

    // No other data and no part of the directory lie at or behind the placeholder.
    const PeSection &section = image.sections[(size_t)image.resourceSection];
    uint32_t start = placeholder.rva - section.virtualAddress;
    EXPECT_LE(image.resourceTreeEnd, start);
    for (const ResourceType &type : image.resources)
        for (const ResourceName &name : type.names)
            for (const ResourceLanguage &language : name.languages) {
                if (&language.data == &placeholder) continue;
                EXPECT_LE(language.data.rva + language.data.size, placeholder.rva)
                    << type.key.Text() << "/" << name.key.Text();
            }
    // Behind its 4 bytes the section's raw data hold padding only.
    ASSERT_GE(placeholder.fileOffset, 0);
    uint64_t end = section.rawPointer + (uint64_t)section.rawSize;
    ASSERT_LE(end, file.size());
    for (uint64_t at = (uint64_t)placeholder.fileOffset + 4; at < end; at++) {
        ASSERT_EQ(file[at], 0) << "data behind the placeholder at file offset " << at;
    }
    EXPECT_LE(start + 4, section.virtualSize);
}

// ---- Every shipped program, as Windows reads it before running a line of it.

struct ShippedProgram {
    const char *path;   // in the win32 build
    const char *level;  // the run level its manifest asks for
    bool longPaths;
};
const ShippedProgram Shipped[] = {
    {"app/installer.exe", "requireAdministrator", false},
    {"app/installer-quiet.exe", "requireAdministrator", false},
    {"uninstall/UNINSTAL.EXE", "requireAdministrator", false},
    {"sample/sample.scr", "asInvoker", false},
    {"sspack/sspack.exe", "asInvoker", true},
};
const uint32_t VersionType = 16, ManifestType = 24;

// The KnownDLLs of Windows 10 and 11: mapped from the system's own list, never searched for, so
// never taken from beside the program. Any other DLL is looked for in the program's folder first.
const char *const KnownDlls[] = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "difxapi.dll", "gdi32.dll",
    "gdiplus.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll",
    "nsi.dll", "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll",
    "shcore.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
};

std::string LowerCase(std::string text)
{
    for (char &c : text) c = (char)tolower((unsigned char)c);
    return text;
}

// The DLL names of the import table (data directory 1), lower case.
std::vector<std::string> ImportedDlls(const Bytes &file, const PeImage &image)
{
    std::vector<std::string> names;
    size_t directories = image.peHeaderOffset + 24 + 96;
    EXPECT_LE(directories + 8 * 14, file.size());
    if (directories + 8 * 14 > file.size()) return names;
    EXPECT_EQ(GetU32(file, directories + 8 * 13), 0u) << "delay-loaded DLLs are searched for when first called";
    int64_t at = image.RvaToFileOffset(GetU32(file, directories + 8));
    for (; at >= 0 && (uint64_t)at + 20 <= file.size(); at += 20) {
        uint32_t nameRva = GetU32(file, (size_t)at + 12);
        if (nameRva == 0) return names;
        int64_t name = image.RvaToFileOffset(nameRva);
        std::string text;
        for (uint64_t i = (uint64_t)name; name >= 0 && i < file.size() && file[i]; i++) text += (char)file[i];
        names.push_back(LowerCase(text));
    }
    ADD_FAILURE() << "the import table runs past the file";
    return names;
}

// Whether text is one well-formed XML element after its declaration: every tag closed in order,
// attribute values quoted, no bare '&' or '<' in text. Empty when it is, otherwise why not.
std::string XmlFault(const std::string &text)
{
    size_t at = 0;
    if (text.compare(0, 5, "<?xml") == 0) {
        at = text.find("?>");
        if (at == std::string::npos) return "unterminated declaration";
        at += 2;
    }
    std::vector<std::string> open;
    int roots = 0;
    while ((at = text.find_first_of("<&", at)) != std::string::npos) {
        if (text[at] == '&') return "bare & at " + std::to_string(at);
        size_t end = text.find('>', at);
        if (end == std::string::npos) return "unterminated tag at " + std::to_string(at);
        std::string tag = text.substr(at + 1, end - at - 1);
        at = end + 1;
        if (tag.find('<') != std::string::npos) return "'<' inside a tag: " + tag;
        if (tag[0] == '/') {
            if (open.empty() || open.back() != tag.substr(1))
                return "</" + tag.substr(1) + "> where " + (open.empty() ? "nothing" : "<" + open.back() + ">") + " is open";
            open.pop_back();
            continue;
        }
        bool empty = !tag.empty() && tag.back() == '/';
        if (empty) tag.pop_back();
        size_t nameEnd = tag.find_first_of(" \t\r\n");
        std::string name = tag.substr(0, nameEnd);
        // Attributes: name="value", separated by white space.
        for (size_t a = nameEnd; a != std::string::npos && a < tag.size();) {
            a = tag.find_first_not_of(" \t\r\n", a);
            if (a == std::string::npos) break;
            size_t equals = tag.find('=', a);
            if (equals == std::string::npos || tag[equals + 1] != '"') return "unquoted attribute in <" + tag + ">";
            size_t close = tag.find('"', equals + 2);
            if (close == std::string::npos) return "unterminated attribute in <" + tag + ">";
            a = close + 1;
        }
        if (open.empty()) roots++;
        if (!empty) open.push_back(name);
    }
    if (!open.empty()) return "<" + open.back() + "> not closed";
    return roots == 1 ? "" : std::to_string(roots) + " root elements";
}

// A UTF-16 resource's text with every character below 256 as one byte (the rest as '?').
std::string NarrowText(const Bytes &file, const ResourceData &data)
{
    std::string text;
    for (uint64_t i = (uint64_t)data.fileOffset; i + 1 < (uint64_t)data.fileOffset + data.size; i += 2)
        text += file[i + 1] ? '?' : (char)file[i];
    return text;
}

TEST(ShippedPrograms, ImportOnlyKnownDllsAndCarryAManifestAndVersionInformation)
{
    for (const ShippedProgram &program : Shipped) {
        SCOPED_TRACE(program.path);
        Bytes file;
        PeImage image;
        try {
            file = ReadFileBytes(std::string(SSP_BUILD_DIR) + "/../win32/" + program.path);
            image = ParsePeImage(file);
        } catch (const std::runtime_error &e) {  // the file unreadable, or its PE model refused
            ADD_FAILURE() << e.what() << " (the win32 kind builds it: make win32)";
            continue;
        }
        std::vector<std::string> imports = ImportedDlls(file, image);
        EXPECT_FALSE(imports.empty());
        for (const std::string &dll : imports)
            EXPECT_NE(std::find(std::begin(KnownDlls), std::end(KnownDlls), dll), std::end(KnownDlls))
                << dll << " is no KnownDLL: Windows would look for it beside the program first";

        const ResourceData *manifest = FindResource(image, ResourceKey::Id(ManifestType), ResourceKey::Id(1), English);
        ASSERT_NE(manifest, nullptr) << "no manifest: Windows 10 would guess the run level from the name";
        ASSERT_TRUE(RangeInside(manifest->fileOffset, manifest->size, file.size()));
        std::string xml(file.begin() + manifest->fileOffset, file.begin() + manifest->fileOffset + manifest->size);
        EXPECT_EQ(XmlFault(xml), "");
        EXPECT_NE(xml.find(std::string("<requestedExecutionLevel level=\"") + program.level + "\" uiAccess=\"false\"/>"),
                  std::string::npos);
        EXPECT_NE(xml.find("<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"), std::string::npos)
            << "Windows 10 and 11 not declared";
        EXPECT_NE(xml.find(">system</dpiAwareness>"), std::string::npos);
        EXPECT_EQ(xml.find("Common-Controls"), std::string::npos) << "version 6 would restyle the classic dialogs";
        EXPECT_EQ(xml.find(">true</longPathAware>") != std::string::npos, program.longPaths);

        const ResourceData *version = FindResource(image, ResourceKey::Id(VersionType), ResourceKey::Id(1), English);
        ASSERT_NE(version, nullptr) << "no version information";
        ASSERT_TRUE(RangeInside(version->fileOffset, version->size, file.size()));
        ASSERT_GE(version->size, 40u + 52u);
        size_t fixed = (size_t)version->fileOffset + 40;  // behind the header and its key, 4-aligned
        EXPECT_EQ(GetU32(file, fixed), 0xFEEF04BDu) << "no fixed file information";
        std::string text = NarrowText(file, *version);
        EXPECT_NE(text.find("VS_VERSION_INFO"), std::string::npos);
        for (const char *part : {"040704E4", "CompanyName", "Quilmark LLC", "FileDescription", "FileVersion",
                                 "ProductName", "Quilmark Vistaworks", "ProductVersion", "Translation"})
            EXPECT_NE(text.find(part), std::string::npos) << part;
    }
}

}  // namespace
