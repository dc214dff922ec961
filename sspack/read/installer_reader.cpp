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

PeImage ReadInstallerImage(InstallerFile &file)
{
    return ParsePeImage(ReadAtInstaller, &file, file.size());
}

InstallerView ReadInstaller(InstallerFile &file, int reach, const PeWalk &walk)
{
    const std::string &path = file.path();
    InstallerView view;
    view.fileSize = file.size();

    if (reach != PeWalkBlock) throw ToolError(path + ": damaged installer: the payload block cannot be reached");
    view.blockOffset = walk.blockOffset;

    BlockHeader header;
    char title[TitleFieldSize];
    int blockReach = ReadBlockHeader(ReadAtInstaller, &file, walk.blockOffset, &header, title);
    if (blockReach == BlockNothing) throw ToolError(path + ": damaged installer: the payload block lies outside the file");
    if (blockReach != BlockTable) throw ToolError(path + ": truncated installer: the file ends inside the licence or the title");
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
    uint64_t dataEnd = 0;
    for (const PayloadEntry &e : view.entries) dataEnd = std::max(dataEnd, (uint64_t)e.DataOffset + e.StoredSize);
    IntegrityInputs inputs = ComposeIntegrityInputs((uint32_t)at, view.hasIntegrityRecord, dataEnd, (uint32_t)file.size());
    view.payloadEnd = inputs.payloadEnd;
    view.integrity = MeasureIntegrity(walk, file.size(), inputs);
    if (view.hasIntegrityRecord) {
        view.recordedCrc = recorded;
        CertificatePlacement placement = view.integrity.placement;
        if (view.integrity.headersRead && (placement == CertificateNone || placement == CertificateLast))
            view.computedCrc = CoveredCrc(view.integrity, ReadAtInstaller, &file, path);
    }
    return view;
}

InstallerView ReadInstaller(InstallerFile &file)
{
    PeWalk walk;
    int reach = WalkPeHeaders(ReadAtInstaller, &file, OptionalHeaderOfMagic, &walk);
    return ReadInstaller(file, reach, walk);
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
