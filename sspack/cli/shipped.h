// The stubs and the uninstaller that travel with sspack: beside the program (the Windows zip) or
// in share/sspack beside its bin folder (make install). A build finds them there by itself.
#pragma once
#include <string>
#include <vector>

extern const char ShippedStubName[];  // installer.exe
extern const char ShippedQuietStubName[];        // installer-quiet.exe
extern const char ShippedUninstallerName[];      // UNINSTAL.EXE

// The folders looked into, in order; none when the program's path is not known.
std::vector<std::string> ShippedFolders(const std::string &programPath);
// The first folder's file of that name, or "" when none has it.
std::string FindShipped(const std::vector<std::string> &folders, const std::string &name);
// "PLACE or PLACE" for a message saying where a file was looked for.
std::string ShippedPlaces(const std::vector<std::string> &folders);

// Whether a path's file name is UNINSTAL.EXE, in any case: the one sign that the third file of a
// build is the uninstaller.
bool NamedAsUninstaller(const std::string &path);
