// Reading the PE model. The resource tree has exactly three levels (type, name, language); a
// deeper or cyclic directory is reported as malformed rather than followed.
#include "sspack/format/pe_image.h"

#include <algorithm>

#include "sspack/tool_error.h"

namespace {

const uint32_t SubdirectoryFlag = 0x80000000u;
const uint32_t MaxDirectoryEntries = 65536;  // in all three levels: far above any real stub, bounds junk
// Characters of resource names in all: a stub names one type, "LASTRES". The entry bound alone lets
// every entry name the longest string again, gigabytes from a small file.
const uint32_t MaxNameCharacters = 65536;

// The image's bytes through the read-at seam; every read is of a range already checked against the
// file, so a failed one is a failing file, not a malformed image.
struct ImageSource {
    ReadAtCall read;
    void *context;

    void Read(uint32_t offset, void *buffer, uint32_t size) const
    {
        if (!read(context, offset, buffer, size)) throw ToolError("cannot read the executable's headers");
    }
    uint16_t U16(uint32_t offset) const
    {
        uint8_t field[2];
        Read(offset, field, sizeof field);
        return (uint16_t)GetU16(field);
    }
    uint32_t U32(uint32_t offset) const
    {
        uint8_t field[4];
        Read(offset, field, sizeof field);
        return GetU32(field);
    }
};

struct TreeReader {
    const ImageSource &file;
    uint32_t sectionOffset;  // file offset of the resource section's raw data
    uint32_t sectionSize;    // bytes of raw data that lie inside the file
    uint32_t treeEnd = 0;
    uint32_t entriesRead = 0;
    uint32_t nameCharacters = 0;

    // Checks that [relative, relative + size) of the section lies in the file, and notes its end.
    uint32_t At(uint32_t relative, uint32_t size)
    {
        if (!RangeInside(relative, size, sectionSize))
            throw ToolError("resource directory points outside the resource section");
        treeEnd = std::max(treeEnd, relative + size);
        return sectionOffset + relative;
    }

    ResourceKey Key(uint32_t field)
    {
        if (!(field & SubdirectoryFlag)) return ResourceKey::Id(field);
        uint32_t at = At(field & ~SubdirectoryFlag, 2);
        uint32_t length = file.U16(at);
        nameCharacters += length;
        if (nameCharacters > MaxNameCharacters) throw ToolError("resource names are too long in all");
        at = At((field & ~SubdirectoryFlag) + 2, length * 2);
        Bytes characters(length * 2);
        if (length) file.Read(at, characters.data(), length * 2);
        std::string name;
        for (uint32_t i = 0; i < length; i++) {
            uint16_t c = GetU16(characters, 2 * i);
            name += c >= 0x20 && c < 0x7F ? (char)c : '?';
        }
        return ResourceKey::Name(name);
    }

    // Entries of the directory table at a section-relative offset: (key field, offset field).
    std::vector<std::pair<uint32_t, uint32_t>> Entries(uint32_t relative)
    {
        uint32_t at = At(relative, ResourceDirectoryHeaderSize);
        uint32_t count = (uint32_t)file.U16(at + 12) + file.U16(at + 14);  // named, then numbered
        entriesRead += count;
        if (entriesRead > MaxDirectoryEntries) throw ToolError("resource directory has too many entries");
        at = At(relative + ResourceDirectoryHeaderSize, count * ResourceDirectoryEntrySize);
        Bytes table(count * ResourceDirectoryEntrySize);
        if (count) file.Read(at, table.data(), (uint32_t)table.size());
        std::vector<std::pair<uint32_t, uint32_t>> entries;
        for (uint32_t i = 0; i < count; i++) {
            uint32_t entry = ResourceDirectoryEntrySize * i;
            entries.emplace_back(GetU32(table, entry), GetU32(table, entry + 4));
        }
        return entries;
    }

    uint32_t Subdirectory(uint32_t field)
    {
        if (!(field & SubdirectoryFlag)) throw ToolError("resource directory level is missing");
        return field & ~SubdirectoryFlag;
    }
};

}  // namespace

ResourceKey ResourceKey::Id(uint32_t id)
{
    ResourceKey key;
    key.id = id;
    return key;
}

ResourceKey ResourceKey::Name(const std::string &name)
{
    ResourceKey key;
    key.named = true;
    key.name = name;
    return key;
}

bool ResourceKey::operator==(const ResourceKey &other) const
{
    return named == other.named && (named ? name == other.name : id == other.id);
}

std::string ResourceKey::Text() const
{
    // A report names at most the start of a long name.
    const size_t Shown = 64;
    if (!named) return std::to_string(id);
    if (name.size() <= Shown) return "\"" + name + "\"";
    return "\"" + name.substr(0, Shown) + "...\" (" + std::to_string(name.size()) + " characters)";
}

int64_t PeImage::RvaToFileOffset(uint32_t rva) const
{
    for (const PeSection &s : sections) {
        if (rva >= s.virtualAddress && rva - s.virtualAddress < s.rawSize) {
            uint64_t offset = (uint64_t)s.rawPointer + (rva - s.virtualAddress);
            return offset < fileSize ? (int64_t)offset : -1;
        }
    }
    return -1;
}

uint64_t PeImage::SectionDataEnd() const
{
    uint64_t end = 0;
    for (const PeSection &s : sections)
        if (s.rawSize) end = std::max<uint64_t>(end, (uint64_t)s.rawPointer + s.rawSize);
    return end;
}

PeImage ParsePeImage(ReadAtCall read, void *context, uint64_t fileSize)
{
    PeImage image;
    image.fileSize = fileSize;
    ImageSource file{read, context};
    uint8_t mz[2];
    if (fileSize < PeHeaderPointerOffset + 4 || !read(context, 0, mz, sizeof mz) || mz[0] != 'M' || mz[1] != 'Z')
        throw ToolError("not an executable (no MZ header)");
    // The headers as the installer's own walk reads them, with the section table where the file
    // declares it (the loader's view); the rest of the model is what the layout rule needs beyond.
    PeWalk walk;
    int reach = WalkPeHeaders(read, context, OptionalHeaderAsDeclared, &walk);
    uint32_t pe = walk.peHeader;
    if (reach == PeWalkNothing || file.U32(pe) != 0x00004550) throw ToolError("not a PE executable (no PE signature)");
    image.peHeaderOffset = pe;
    image.machine = file.U16(pe + 4);
    image.sectionCount = (uint16_t)walk.sectionCount;
    image.optionalHeaderSize = (uint16_t)walk.declaredOptionalHeaderSize;
    uint32_t optional = pe + PeSignatureSize + PeFileHeaderSize;
    image.magic = (uint16_t)walk.magic;
    if (image.magic != PeMagic32 && image.magic != PeMagic64) throw ToolError("unknown optional header magic");

    uint32_t directoriesAt = image.Is64() ? PeDirectories64Offset : PeDirectories32Offset;
    if (image.optionalHeaderSize < directoriesAt || !RangeInside(optional, image.optionalHeaderSize, fileSize))
        throw ToolError("optional header is truncated");
    image.checkSumOffset = walk.signing.checkSumOffset;
    image.certificateTableOffset = walk.signing.tableOffset;
    image.certificateTableSize = walk.signing.tableSize;
    uint32_t resourceEntry = optional + directoriesAt + PeResourceDirectoryIndex * PeDirectoryEntrySize;
    if (walk.directoryCount > PeResourceDirectoryIndex &&
        resourceEntry + PeDirectoryEntrySize <= optional + image.optionalHeaderSize) {
        image.resourceDirectoryRva = file.U32(resourceEntry);
        image.resourceDirectorySize = file.U32(resourceEntry + 4);
    }

    uint32_t table = walk.sectionTable;
    uint64_t tableSize = (uint64_t)image.sectionCount * SectionHeaderSize;
    if (!RangeInside(table, tableSize, fileSize)) throw ToolError("section table is truncated");
    Bytes headers(tableSize);
    if (tableSize) file.Read(table, headers.data(), (uint32_t)tableSize);
    for (uint32_t i = 0; i < image.sectionCount; i++) {
        uint32_t at = SectionHeaderSize * i;
        PeSection s;
        for (int k = 0; k < 8 && headers[at + k]; k++) s.name += (char)headers[at + k];
        s.virtualSize = GetU32(headers, at + 8);
        s.virtualAddress = GetU32(headers, at + 12);
        s.rawSize = GetU32(headers, at + 16);
        s.rawPointer = GetU32(headers, at + 20);
        s.headerOffset = table + at;
        image.sections.push_back(s);
    }
    // The section the installer's walk takes: the first named ".rsrc".
    if (reach < PeWalkResourceSection) return image;
    image.resourceSection = (int)((walk.resourceSectionHeader - table) / SectionHeaderSize);

    const PeSection &rsrc = image.sections[image.resourceSection];
    if (rsrc.rawPointer > fileSize) throw ToolError("resource section lies outside the file");
    uint32_t inFile = (uint32_t)std::min<uint64_t>(rsrc.rawSize, fileSize - rsrc.rawPointer);
    TreeReader tree{file, rsrc.rawPointer, inFile};
    for (auto &typeEntry : tree.Entries(0)) {
        ResourceType type;
        type.key = tree.Key(typeEntry.first);
        for (auto &nameEntry : tree.Entries(tree.Subdirectory(typeEntry.second))) {
            ResourceName name;
            name.key = tree.Key(nameEntry.first);
            for (auto &languageEntry : tree.Entries(tree.Subdirectory(nameEntry.second))) {
                if (languageEntry.second & SubdirectoryFlag) throw ToolError("resource directory is too deep");
                ResourceLanguage language;
                language.key = tree.Key(languageEntry.first);
                uint32_t at = tree.At(languageEntry.second, ResourceDataEntrySize);
                uint8_t entry[ResourceDataEntrySize];
                file.Read(at, entry, sizeof entry);
                language.data.entryOffset = at;
                language.data.rva = GetU32(entry);
                language.data.size = GetU32(entry + 4);
                language.data.codePage = GetU32(entry + 8);
                language.data.fileOffset = image.RvaToFileOffset(language.data.rva);
                name.languages.push_back(language);
            }
            type.names.push_back(name);
        }
        image.resources.push_back(type);
    }
    image.resourceTreeEnd = tree.treeEnd;
    return image;
}

const ResourceData *FindResource(const PeImage &image, const ResourceKey &type, const ResourceKey &name,
                                 uint32_t language)
{
    for (const ResourceType &t : image.resources) {
        if (!(t.key == type)) continue;
        for (const ResourceName &n : t.names) {
            if (!(n.key == name)) continue;
            for (const ResourceLanguage &l : n.languages)
                if (l.key == ResourceKey::Id(language)) return &l.data;
        }
    }
    return nullptr;
}
