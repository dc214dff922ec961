// The four commands of sspack. Each writes its report to out, warnings to err, and throws
// ToolError for bad input or a damaged installer.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "lzh/encoder.h"  // CompressMode

struct BuildOptions {
    std::string stub, title, licence, out;  // title as given on the command line (UTF-8)
    std::string uninstaller;                // --uninstaller; "" = the third file or the shipped one
    bool quietInstaller = false;            // the shipped quiet stub when no stub is named
    std::vector<std::string> shippedFolders;
    std::vector<std::string> files;
    CompressMode compression = CompressMode::Stored;
    bool integrityRecord = true;
};

// errTerminal: the progress of large files is redrawn in place on err; otherwise one line each.
void RunBuild(const BuildOptions &options, std::ostream &out, std::ostream &err, bool errTerminal = false);
// list, extract and verify throw ToolError, one line, for a file that is no installer of this format.
// Lists what the table holds and which shipped stub the installer was built from (shippedFolders
// as for BuildOptions); returns false (after listing) when entries' data lie beyond the end.
bool RunList(const std::string &installer, std::ostream &out, const std::vector<std::string> &shippedFolders = {});
// Writes every entry and the licence into directory, once the integrity record holds; ends with
// the number of files written.
void RunExtract(const std::string &installer, const std::string &directory, std::ostream &out);
// Prints each check and a verdict; returns false (after printing) when the installer is damaged
// or will not install.
bool RunVerify(const std::string &installer, std::ostream &out);
