// The plan follows the layout rule: the block overwrites the placeholder and the padding behind
// it, and may outgrow the section only where the section ends the stub.
#include "sspack/pack/build_installer.h"

#include "sspack/format/block_format.h"
#include "sspack/format/names.h"
#include "sspack/format/layout_rule.h"
#include "sspack/format/pe_image.h"
#include "sspack/tool_error.h"

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

    const std::string &stub = request.stubName;
    PeImage image;
    PayloadSite site;
    try {
        image = ParsePeImage(request.stub);
        site = CheckLayoutRule(image);
    } catch (const ToolError &e) {
        throw ToolError(stub + ": " + e.what());
    }
    // A stub holds four zero bytes where an installer holds its block.
    for (uint32_t i = 0; i < PlaceholderSize; i++)
        if (request.stub[site.blockOffset + i] != 0)
            throw ToolError(stub + ": an installer already, its payload block where a stub has its placeholder; "
                                   "pack the installer program without a payload, such as the shipped installer.exe");
    // Its signature would not survive the payload, and its table would lie inside the installer.
    if (image.certificateTableOffset || image.certificateTableSize)
        throw ToolError(stub + ": the stub is signed; pack an unsigned stub and sign the installer sspack writes");

    BuildPlan plan;
    plan.checkSumOffset = image.checkSumOffset;
    plan.blockOffset = site.blockOffset;
    plan.blockSize = BlockSize(request.licence.size(), request.files.size(), request.integrityRecord);
    plan.blockEnd = site.blockOffset + plan.blockSize;
    plan.blockOutgrewSection = plan.blockEnd > site.rawEnd;
    if (plan.blockOutgrewSection && !site.mayOutgrow)
        throw ToolError(stub + ": the payload block needs " + std::to_string(plan.blockSize) +
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
