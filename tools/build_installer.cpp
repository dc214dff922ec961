// The build follows the layout rule: the block overwrites the placeholder and the padding behind
// it; the entries' data follow the stub, or the block where it outgrows the section, back to back.
#include "tools/build_installer.h"

#include <algorithm>
#include <cstring>

#include "payload/crc32.h"
#include "tools/block_format.h"
#include "tools/integrity_file.h"
#include "tools/layout_rule.h"
#include "tools/names.h"
#include "tools/pe_image.h"
#include "tools/tool_error.h"

std::string PrepareLicence(const Bytes &raw)
{
    std::string text;
    for (size_t i = 0; i < raw.size(); i++) {
        if (raw[i] == 0) throw ToolError("the licence holds a NUL byte; the installer would show only the text before it");
        if (raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r')) text += '\r';
        text += (char)raw[i];
    }
    if (text.empty()) throw ToolError("the licence file is empty");
    if (text.size() > MaxLicenceLength)
        throw ToolError("the licence has " + std::to_string(text.size()) + " bytes (with CR LF line breaks), at most 65535 fit");
    return text;
}

void ClearCheckSum(Bytes &stub, const BuildPlan &plan)
{
    PutU32(stub, plan.checkSumOffset, 0);
}

BuildPlan PlanBuild(const BuildRequest &request)
{
    std::string problem = TitleProblem(request.title);
    if (!problem.empty()) throw ToolError(problem);
    if (request.licence.size() > MaxLicenceLength) throw ToolError("the licence is longer than 65535 bytes");
    if (request.files.size() > 0xFFFF) throw ToolError("too many files, at most 65535");

    PeImage image = ParsePeImage(request.stub);
    PayloadSite site = CheckLayoutRule(image);
    // Its signature would not survive the payload, and its table would lie inside the installer.
    if (image.certificateTableOffset || image.certificateTableSize)
        throw ToolError("the stub is signed; pack an unsigned stub and sign the installer sspack writes");

    BuildPlan plan;
    plan.checkSumOffset = image.checkSumOffset;
    plan.blockOffset = site.blockOffset;
    plan.blockSize = BlockSize(request.licence.size(), request.files.size(), request.integrityRecord);
    plan.blockEnd = site.blockOffset + plan.blockSize;
    plan.blockOutgrewSection = plan.blockEnd > site.rawEnd;
    if (plan.blockOutgrewSection && !site.mayOutgrow)
        throw ToolError("the payload block needs " + std::to_string(plan.blockSize) +
                        " bytes but the resource section has room for " + std::to_string(site.rawEnd - site.blockOffset) +
                        " and is not the end of the stub file");
    return plan;
}

void CheckInputFile(const InputFile &file, uint64_t size)
{
    if (size == 0) throw ToolError(file.name + ": the file is empty");
    if (size > MaxInstallerBytes) throw ToolError(file.name + ": the file is larger than 2 GiB");
    if (file.extensionField.size() != ExtensionFieldSize) throw ToolError(file.name + ": bad extension field");
}

BuildResult BuildInstaller(BuildRequest request)
{
    BuildPlan plan = PlanBuild(request);
    BuildResult result;
    result.blockOffset = plan.blockOffset;
    result.blockSize = plan.blockSize;
    result.blockOutgrewSection = plan.blockOutgrewSection;
    uint64_t blockEnd = plan.blockEnd;

    // The stub and the room for the block first, then each entry's data as soon as it is made, so
    // no more than one entry exists twice; the block goes in last, when every offset is known.
    Bytes &out = result.installer;
    out = std::move(request.stub);
    ClearCheckSum(out, plan);
    out.resize(std::max<uint64_t>(out.size(), blockEnd), 0);
    for (InputFile &file : request.files) {
        CheckInputFile(file, file.bytes.size());
        EntryData data = MakeEntryData(file.bytes, request.compression);
        Bytes().swap(file.bytes);
        PayloadEntry entry;
        entry.DataOffset = (uint32_t)out.size();
        entry.StoredSize = (uint32_t)data.stored.size();
        entry.ExpandedSize = data.expandedSize;
        std::memcpy(entry.Extension, file.extensionField.data(), ExtensionFieldSize);
        if (out.size() + data.stored.size() > MaxInstallerBytes) throw ToolError("the installer would be larger than 2 GiB");
        out.insert(out.end(), data.stored.begin(), data.stored.end());
        result.entries.push_back(entry);
    }

    Bytes block = ComposeBlock(request.licence, request.title, result.entries, request.integrityRecord);
    std::copy(block.begin(), block.end(), out.begin() + plan.blockOffset);
    uint64_t padded = (out.size() + SignerAlignment - 1) / SignerAlignment * SignerAlignment;
    if (padded > MaxInstallerBytes) throw ToolError("the installer would be larger than 2 GiB");
    out.resize(padded, 0);
    if (request.integrityRecord) {
        uint64_t crcAt = blockEnd - IntegrityRecordSize + IntegrityTagSize;
        PutU32(out, crcAt, SealedCrc(ReadAtBytes, &out, out.size(), crcAt, "the installer"));
    }
    result.installerSize = out.size();
    return result;
}
