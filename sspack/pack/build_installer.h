// Putting an installer together: stub + payload block at the LASTRES data + the entries' data,
// written straight into its file (build_installer.cpp) after the checks and plan of
// build_plan.cpp.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lzh/encoder.h"
#include "payload/block.h"
#include "sspack/format/byte_io.h"

struct InputFile {
    std::string name;            // for messages and the summary
    std::string path;            // where it is read from
    std::string extensionField;  // 16 bytes, from ExtensionField()
};

struct BuildRequest {
    Bytes stub;
    std::string stubName = "the stub";  // for messages
    std::string title;    // Windows-1252, as stored
    std::string licence;  // as stored (PrepareLicence, licence_text.h), empty for none
    std::vector<InputFile> files;  // screen saver, data file, uninstaller, further files
    CompressMode compression = CompressMode::Stored;
    bool integrityRecord = true;
};

struct BuildResult {
    uint64_t installerSize = 0;  // bytes of the installer made
    std::vector<PayloadEntry> entries;
    uint32_t blockOffset = 0;
    uint64_t blockSize = 0;
    bool blockOutgrewSection = false;  // the block runs past the resource section's raw data
};

// Largest entry and installer the installer's 32-bit signed file positions can reach.
const uint64_t MaxInstallerBytes = 0x7FFFFFFF;

// Where the block goes and how large it is; throws ToolError for a title, licence, file count or
// stub no installer could take.
struct BuildPlan {
    uint32_t checkSumOffset = 0;  // the stub's CheckSum field, written as zero
    uint32_t blockOffset = 0;
    uint64_t blockSize = 0, blockEnd = 0;
    bool blockOutgrewSection = false;
};
BuildPlan PlanBuild(const BuildRequest &request);
// The stub's CheckSum is stale once a payload follows, and a signer rewrites it: the installer
// carries zero ("none"), so the integrity record holds whether or not a signer counts it out.
void ClearCheckSum(Bytes &stub, const BuildPlan &plan);
// Throws ToolError for an entry of this size the installer could not carry.
void CheckInputFile(const InputFile &file, uint64_t size);

// Reports the bytes of a file read so far (the first pass over it) against its size.
using ReadProgress = std::function<void(const InputFile &file, uint64_t done, uint64_t size)>;

// Runs on the finished installer, closed, at its temporary path, before it takes the output's
// place; throws ToolError to leave the output as it was.
using FinishedCheck = std::function<void(const std::string &temporaryPath)>;

// The installer from the request, each file read from its path and compressed and checked in
// chunks, so the memory a build needs stays bounded whatever the sizes of the files. It is written
// to a temporary file beside outPath that takes its place only once the build has succeeded (and
// passed check), so nothing half made is left behind and the previous output stays until then.
// The caller sees to it that outPath is none of the inputs. Throws ToolError, naming it, for
// anything an installer could not install, and for files that cannot be read or written.
BuildResult BuildInstallerFile(BuildRequest request, const std::string &outPath, const ReadProgress &progress = {},
                               const FinishedCheck &check = {});
