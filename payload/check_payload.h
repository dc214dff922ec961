// The installer refuses a damaged, truncated or unusable file before it shows or writes anything:
// the table must be complete and hold an entry, every entry's data inside the file, the title usable
// as a file and key name, every destination within the path limit, and the integrity record (when
// the file has one) must match the file's CRC-32, leaving out only what signing the file changes.
#pragma once
#include <stdint.h>
#include "core/fatal.h"
#include "core/fileio.h"
#include "payload/block.h"  // OptionalHeaderRule

enum PayloadFault {
    PayloadSound = 0,
    PayloadUnreachable,    // no block behind the resource directory
    PayloadTableCut,       // the file ends before the terminator
    PayloadDataOutside,    // DataOffset + StoredSize beyond the end of the file
    PayloadSizeTooLarge,   // ExpandedSize of 2^31 or more
    PayloadBadTitle,       // refused by the title rule (core/layout.h)
    PayloadBadExtension,   // a further entry's Extension field refused by the layout's extension rule
    PayloadPathTooLong,    // ScreenSaverPath, DataFolder, INSTALL.LOG or a destination over 259 characters
    PayloadChecksumWrong,  // the integrity record does not match the file
    PayloadCertificateMisplaced,  // a certificate table that is not the file's last part behind the payload
    PayloadOwnPathTooLong, // the installer's own path is too long for the reader to open it
    PayloadNoEntries,      // the table's first record is its terminator: nothing to install
    PayloadRecordDamaged,  // the entries' data start a record's length behind the table, no record there
};

enum { OwnPathLimit = 32767 };  // the longest path the system can hand out

// The fatal message for a refusal: a path too long is told as such, everything else as damage.
enum FatalKind FatalKindOfFault(enum PayloadFault fault);

// Inspects an installer file. windowsDirectory and applicationData are the places the installation
// would use (applicationData empty: the Windows directory's All Users folder). Reads only.
enum PayloadFault InspectPayload(const char *path, enum OptionalHeaderRule rule, const char *windowsDirectory,
                                 const char *applicationData);

// The same for an installer file already open (the authoring tool's own file layer opens it, and
// the installer judges the own file it holds); the handle is left anywhere.
enum PayloadFault InspectOpenPayload(FileHandle file, enum OptionalHeaderRule rule, const char *windowsDirectory,
                                     const char *applicationData);

// The same once the PE headers of that file are walked (reach and walk as WalkPeHeaders gave them),
// for a caller that reads the file further from the same walk.
enum PayloadFault InspectWalkedPayload(FileHandle file, int reach, const PeWalk *walk, const char *windowsDirectory,
                                       const char *applicationData);

// The running installer: 1 when sound; otherwise the refusal is shown (no owner window, either
// mode) and 0 returned, for the sequence to end with exit code 1. Windows only.
int CheckPayload(void);
