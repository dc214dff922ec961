// The installer refuses a damaged, truncated or unusable file before it shows or writes anything:
// the table must be complete, every entry's data inside the file, the title usable as a file and
// key name, every destination within the path limit, and the integrity record (when the file has
// one) must match the file's CRC-32, leaving out only what signing the file changes.
#pragma once
#include <stdint.h>

enum PayloadFault {
    PayloadSound = 0,
    PayloadUnreachable,    // no block behind the resource directory
    PayloadTableCut,       // the file ends before the terminator
    PayloadDataOutside,    // DataOffset + StoredSize beyond the end of the file
    PayloadSizeTooLarge,   // ExpandedSize of 2^31 or more
    PayloadBadTitle,       // empty once trimmed, or a character no file or key name may hold
    PayloadPathTooLong,    // ScreenSaverPath, DataFolder or a destination over 259 characters
    PayloadChecksumWrong,  // the integrity record does not match the file
    PayloadCertificateMisplaced,  // a certificate table that is not the file's last part behind the payload
};

// Inspects an installer file. windowsDirectory and applicationData are the places the installation
// would use (applicationData empty: the Windows directory's All Users folder). Reads only.
enum PayloadFault InspectPayload(const char *path, uint32_t optionalHeaderSize, const char *windowsDirectory,
                                 const char *applicationData);

// A trimmed title of length characters that can name a file and a registry key.
int TitleUsable(const char *title, uint32_t length);

// The running installer: 1 when sound; otherwise the refusal is shown (no owner window, either
// mode) and 0 returned, for the sequence to end with exit code 1. Windows only.
int CheckPayload(void);
