// The block is located by the installer's own reader over the file layer, so list, extract and
// verify see exactly the block the installer would; the rest is read field by field where it lies,
// never the whole file at once.
#include "sspack/read/installer_reader.h"

#include <algorithm>
#include <cstring>

#include "payload/crc32.h"
#include "sspack/format/block_format.h"
#include "sspack/format/names.h"
#include "sspack/files.h"
#include "sspack/tool_error.h"

namespace {

// How much of the file's start the PE model reads: the headers with the section table and the
// first ".rsrc" section's raw data, as far as the file holds them. A fixed bound keeps a damaged
// header from making the tool read a whole installer into memory.
const uint64_t MaxImageHeadBytes = 16u << 20;

uint64_t ImageHeadLength(InstallerFile &file)
{
    uint64_t need = std::min<uint64_t>(file.size(), 4096);
    PeWalk walk;
    int reach = WalkPeHeaders(ReadAtInstaller, &file, OptionalHeaderAsDeclared, &walk);
    if (reach == PeWalkNothing) return need;
    uint64_t optional = (uint64_t)walk.peHeader + PeSignatureSize + PeFileHeaderSize;
    uint64_t tableEnd = (uint64_t)walk.sectionTable + (uint64_t)walk.sectionCount * SectionHeaderSize;
    need = std::max(need, std::min<uint64_t>(file.size(), std::max(optional + 2, tableEnd)));
    if (reach >= PeWalkResourceSection && walk.resourceRawData <= file.size())
        need = std::max(need, std::min<uint64_t>(file.size(), (uint64_t)walk.resourceRawData + walk.resourceRawSize));
    return need;
}

}  // namespace

PeImage ReadInstallerImage(InstallerFile &file)
{
    uint64_t head = ImageHeadLength(file);
    if (head > MaxImageHeadBytes)
        throw ToolError("headers and resource section take " + std::to_string(head) + " bytes, too many to check");
    return ParsePeImage(file.Read(0, (uint32_t)head), file.size());
}

InstallerView ReadInstaller(InstallerFile &file)
{
    const std::string &path = file.path();
    InstallerView view;
    view.fileSize = file.size();

    PeWalk walk;
    if (WalkPeHeaders(ReadAtInstaller, &file, OptionalHeaderOfMagic, &walk) != PeWalkBlock)
        throw ToolError(path + ": damaged installer: the payload block cannot be reached");
    view.blockOffset = walk.blockOffset;

    BlockHeader header;
    char title[TitleFieldSize];
    int reach = ReadBlockHeader(ReadAtInstaller, &file, walk.blockOffset, &header, title);
    if (reach == BlockNothing) throw ToolError(path + ": damaged installer: the payload block lies outside the file");
    if (reach != BlockTable) throw ToolError(path + ": truncated installer: the file ends inside the licence or the title");
    view.licence.resize(header.licenceLength);
    if (!file.ReadAt(walk.blockOffset + LicenceLengthSize, &view.licence[0], header.licenceLength))
        throw ToolError("cannot read " + path);
    view.titleField.assign(title, TitleFieldSize);
    size_t nul = view.titleField.find('\0');
    view.titleTerminated = nul != std::string::npos;
    view.title = view.titleField.substr(0, view.titleTerminated ? nul : TitleFieldSize - 1);
    view.entryCount = (uint16_t)header.entryCount;
    uint64_t at = header.tableOffset;
    view.tableOffset = at;

    uint8_t field[PayloadEntrySize];
    for (;;) {
        if (!RangeInside(at, PayloadEntrySize, file.size()))
            throw ToolError(path + ": damaged installer: the file ends after " + std::to_string(view.entries.size()) +
                            " entries, before the table's terminator");
        if (!file.ReadAt(at, field, PayloadEntrySize)) throw ToolError("cannot read " + path);
        PayloadEntry entry;
        DecodePayloadEntry(field, &entry);
        at += PayloadEntrySize;
        if (entry.StoredSize == 0) break;
        view.entries.push_back(entry);
    }
    view.blockEnd = at;
    uint32_t recorded = 0;
    view.hasIntegrityRecord = ReadIntegrityRecord(ReadAtInstaller, &file, (uint32_t)at, &recorded) != 0;
    view.payloadEnd = view.blockEnd + (view.hasIntegrityRecord ? IntegrityRecordSize : 0);
    for (const PayloadEntry &e : view.entries)
        view.payloadEnd = std::max(view.payloadEnd, std::min<uint64_t>((uint64_t)e.DataOffset + e.StoredSize, file.size()));
    uint64_t crcAt = at + IntegrityTagSize;
    view.integrity = MeasureIntegrity(ReadAtInstaller, &file, file.size(), view.payloadEnd, crcAt);
    if (view.hasIntegrityRecord) {
        view.recordedCrc = recorded;
        CertificatePlacement placement = view.integrity.placement;
        if (view.integrity.headersRead && (placement == CertificateNone || placement == CertificateLast))
            view.computedCrc = CoveredCrc(view.integrity, ReadAtInstaller, &file, path);
    }
    return view;
}

InstallerView ReadInstaller(const std::string &path)
{
    InstallerFile file(path);
    return ReadInstaller(file);
}

std::string ExtensionText(const PayloadEntry &entry)
{
    std::string text(entry.Extension, ExtensionFieldSize);
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return TrimTrailingBlanks(text);
}

std::vector<size_t> OverlappingEntries(const std::vector<PayloadEntry> &entries)
{
    std::vector<size_t> partner(entries.size()), order(entries.size());
    for (size_t i = 0; i < entries.size(); i++) partner[i] = order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return entries[a].DataOffset < entries[b].DataOffset; });
    // In order of their offsets, an entry overlaps an earlier one exactly when it starts before the
    // furthest end so far; that entry's owner is then its partner, and it is the owner's.
    uint64_t furthestEnd = 0;
    size_t owner = 0;
    for (size_t i : order) {
        const PayloadEntry &e = entries[i];
        if (e.DataOffset < furthestEnd) {
            partner[i] = owner;
            if (partner[owner] == owner) partner[owner] = i;
        }
        uint64_t end = (uint64_t)e.DataOffset + e.StoredSize;
        if (end > furthestEnd) furthestEnd = end, owner = i;
    }
    return partner;
}

bool ExpansionPossible(const PayloadEntry &entry)
{
    const uint64_t BytesPerStoredByte = 24, LongestMatch = 30;
    return entry.ExpandedSize == 0 || entry.ExpandedSize <= entry.StoredSize * BytesPerStoredByte + LongestMatch;
}
