// Looking up the files shipped with the tool.
#include "sspack/cli/shipped.h"

#include <system_error>

#include "sspack/files.h"

const char ShippedStubName[] = "installer.exe";
const char ShippedQuietStubName[] = "installer-quiet.exe";
const char ShippedUninstallerName[] = "UNINSTAL.EXE";

namespace fs = std::filesystem;

std::vector<std::string> ShippedFolders(const std::string &programPath)
{
    if (programPath.empty()) return {};
    fs::path folder = FsPath(programPath).parent_path();
    return {PathText(folder), PathText(folder.parent_path() / "share" / "sspack")};
}

std::string FindShipped(const std::vector<std::string> &folders, const std::string &name)
{
    for (const std::string &folder : folders) {
        std::error_code ec;
        fs::path candidate = FsPath(folder) / name;
        if (fs::is_regular_file(candidate, ec)) return PathText(candidate);
    }
    return "";
}

std::string ShippedPlaces(const std::vector<std::string> &folders)
{
    if (folders.empty()) return "(the program's own folder is not known)";
    std::string places;
    for (const std::string &folder : folders) places += (places.empty() ? "" : " or ") + folder;
    return places;
}

bool NamedAsUninstaller(const std::string &path)
{
    std::string name = PathText(FsPath(path).filename());
    if (name.size() != sizeof ShippedUninstallerName - 1) return false;
    for (size_t i = 0; i < name.size(); i++) {
        char c = name[i];
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
        if (c != ShippedUninstallerName[i]) return false;
    }
    return true;
}
