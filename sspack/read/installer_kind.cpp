// The installer's own reader takes the first resource wherever it leads; a program of another kind
// would lead it into its icons or its manifest, and list would show what it read there as entries.
// The named type LASTRES marks a file that a build of this format wrote.
#include "sspack/read/installer_kind.h"

#include <algorithm>
#include <cstring>

#include "payload/block.h"
#include "sspack/format/names.h"
#include "sspack/read/installer_reader.h"
#include "sspack/tool_error.h"

FileFormat FormatOf(InstallerFile &file)
{
    uint8_t mz[2], signature[4], pointer[4];
    if (!file.ReadAt(0, mz, sizeof mz) || std::memcmp(mz, "MZ", 2) != 0) return FileFormat::NoProgram;
    if (!file.ReadAt(PeHeaderPointerOffset, pointer, sizeof pointer) ||
        !file.ReadAt(GetU32(pointer), signature, sizeof signature) || std::memcmp(signature, "PE\0\0", 4) != 0)
        return FileFormat::NoProgram;
    try {
        PeImage image = ReadInstallerImage(file);
        if (image.resourceSection >= 0 && !image.resources.empty() &&
            image.resources[0].key == ResourceKey::Name("LASTRES"))
            return FileFormat::Installer;
    } catch (const ToolError &) {
        // Headers or a resource tree that cannot be read: a damaged file, which verify reports.
        return FileFormat::Installer;
    }
    // Without the name, the installer's reader still takes the first resource: where that leads to
    // a whole table of entries under a usable title, the file is judged as an installer that breaks
    // the layout rule. A program's icon or manifest read so gives no such title.
    try {
        InstallerView view = ReadInstaller(file);
        if (!view.entries.empty() && view.titleTerminated && TitleProblem(view.title).empty())
            return FileFormat::Installer;
    } catch (const ToolError &) {
    }
    return FileFormat::NoPayloadType;
}

bool BuiltFromStub(InstallerFile &file, uint32_t blockOffset, const Bytes &stub)
{
    if (stub.size() < blockOffset || file.size() < blockOffset) return false;
    PeWalk walk;
    if (WalkPeHeaders(ReadAtBytes, const_cast<Bytes *>(&stub), OptionalHeaderAsDeclared, &walk) == PeWalkNothing ||
        !walk.signingRead)
        return false;
    Bytes head = file.Read(0, blockOffset);
    Bytes expected(stub.begin(), stub.begin() + blockOffset);
    auto blank = [&](uint32_t at, uint32_t size) {
        for (uint32_t i = at; i < at + size && i < blockOffset; i++) head[i] = expected[i] = 0;
    };
    blank(walk.signing.checkSumOffset, PeCheckSumSize);
    if (walk.signing.directoryOffset) blank(walk.signing.directoryOffset, PeDirectoryEntrySize);
    return head == expected;
}
