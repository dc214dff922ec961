// Whether a file is an installer made for this format at all, before anything is read from where
// its payload block would be, and which stub an installer was built from.
#pragma once
#include <string>

#include "sspack/format/byte_io.h"
#include "sspack/format/installer_file.h"

enum class FileFormat {
    Installer,     // a PE image whose first resource type is LASTRES, or whose first resource holds a
                   // whole table under a usable title (sound or damaged: the commands judge it)
    NoProgram,     // no MZ header or no PE signature behind it
    NoPayloadType, // a Windows program with no payload block at its first resource
};
FileFormat FormatOf(InstallerFile &file);

// Whether the installer's bytes in front of its payload block are the stub's, but for the fields
// the build and a signer write (CheckSum, the certificate-table entry).
bool BuiltFromStub(InstallerFile &file, uint32_t blockOffset, const Bytes &stub);
