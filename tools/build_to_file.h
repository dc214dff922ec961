// Building an installer straight into its file: each entry is read, compressed and checked in
// chunks, so the memory a build needs stays bounded whatever the sizes of the files.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "tools/build_installer.h"

// Reports the bytes of a file read so far (the first pass over it) against its size.
using ReadProgress = std::function<void(const InputFile &file, uint64_t done, uint64_t size)>;

// The installer from the request, each file read from its path. It is written to a temporary file
// beside outPath that takes its place only once the build has succeeded, so nothing half made is
// left behind and an input may also be the output. Throws ToolError, naming it, for anything an
// installer could not install, and for files that cannot be read or written.
BuildResult BuildInstallerFile(BuildRequest request, const std::string &outPath, const ReadProgress &progress = {});
