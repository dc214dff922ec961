// The block is located by the installer's own reader over the file layer, so list, extract and
// verify see exactly the block the installer would; the rest is parsed from memory.
#include "tools/installer_reader.h"

#include "payload/crc32.h"
#include "tools/block_format.h"
#include "tools/names.h"
#include "tools/tool_error.h"

InstallerView ReadInstaller(const std::string &path)
{
    InstallerView view;
    view.file = ReadWholeFile(path);
    const Bytes &file = view.file;

    FileHandle f = FileOpenRead(path.c_str());
    if (f == FileError) throw ToolError("cannot open " + path);
    uint32_t block = 0;
    int found = LocatePayloadBlock(f, 0, &block);
    FileClose(f);
    if (!found) throw ToolError(path + ": damaged installer: the payload block cannot be reached");
    view.blockOffset = block;

    uint64_t at = block;
    if (!RangeInside(at, LicenceLengthSize, file.size())) throw ToolError(path + ": damaged installer: the payload block lies outside the file");
    uint32_t licenceLength = GetU16(file, at);
    at += LicenceLengthSize;
    if (!RangeInside(at, licenceLength + TitleFieldSize + EntryCountSize, file.size()))
        throw ToolError(path + ": truncated installer: the file ends inside the licence or the title");
    view.licence.assign(file.begin() + at, file.begin() + at + licenceLength);
    at += licenceLength;
    view.titleField.assign(file.begin() + at, file.begin() + at + TitleFieldSize);
    size_t nul = view.titleField.find('\0');
    view.titleTerminated = nul != std::string::npos;
    view.title = view.titleField.substr(0, view.titleTerminated ? nul : TitleFieldSize - 1);
    at += TitleFieldSize;
    view.entryCount = GetU16(file, at);
    at += EntryCountSize;
    view.tableOffset = at;

    for (;;) {
        if (!RangeInside(at, PayloadEntrySize, file.size()))
            throw ToolError(path + ": damaged installer: the file ends after " + std::to_string(view.entries.size()) +
                            " entries, before the table's terminator");
        PayloadEntry entry;
        DecodePayloadEntry(file.data() + at, &entry);
        at += PayloadEntrySize;
        if (entry.StoredSize == 0) break;
        view.entries.push_back(entry);
    }
    view.blockEnd = at;
    if (HasIntegrityTag(file, at)) {
        view.hasIntegrityRecord = true;
        view.recordedCrc = GetU32(file, at + IntegrityTagSize);
        view.computedCrc = IntegrityCrc(file, at);
    }
    return view;
}

std::string ExtensionText(const PayloadEntry &entry)
{
    std::string text(entry.Extension, ExtensionFieldSize);
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return TrimTrailingBlanks(text);
}

bool ExpansionPossible(const PayloadEntry &entry)
{
    const uint64_t BytesPerStoredByte = 24, LongestMatch = 30;
    return entry.ExpandedSize == 0 || entry.ExpandedSize <= entry.StoredSize * BytesPerStoredByte + LongestMatch;
}
