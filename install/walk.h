// The walk over the payload table behind the progress dialog: every entry to its destination, in
// table order, with the pump and cancel rule. Portable; the platform parts come in as hooks.
#pragma once
#include "core/fileio.h"
#include "payload/block.h"

enum { ChunkSize = 2048 };  // one buffer for the whole walk

enum EntryResult {
    EntryWritten,      // every byte reached the destination
    EntryStopped,      // a confirmed cancel ended it at a pump point; the destination keeps what it got
    EntryWriteFailed,  // the destination could not be created
    EntryCutShort,     // the destination was created but took fewer bytes than handed (a full disk)
    EntryReadFailed,   // the installer's own file ended or failed inside the entry's data
    EntryUnreadable,   // the installer's own file could not be opened or positioned: nothing created
};

struct InstallHooks {
    void (*writeUninstallValues)(const char *uninstallerPath);  // once the uninstaller is written whole
    // A compressed entry, read from payload (the handle the walk reads the table through, left
    // anywhere): an EntryResult. It may end the process itself on a short write, and removes the
    // cut file first when it is not logged.
    int (*extractEntry)(FileHandle payload, const PayloadEntry *entry, const char *destination, int logged);
    // One log line per walked entry, before anything of the entry is written, so that a part left
    // by a process that ended inside it has its line; 1 when the line was written whole.
    int (*logDestination)(const char *destination);
};

// Where entry number index goes, composed by the layout from the installation's shared values:
// 0 ScreenSaverPath; 1 DataFolder + title + ".dat"; 2 DataFolder + UNINSTAL.EXE; 3 and up
// DataFolder + FILEnnnn + the entry's extension. 1 when the whole path fit.
int EntryDestination(int index, const PayloadEntry *entry, char *destination, size_t size);

// Copies one stored entry from the open payload through chunk (ChunkSize bytes) to destination.
int CopyStoredEntry(FileHandle payload, const PayloadEntry *entry, const char *destination, char *chunk);

// Walks the whole table. A destination that cannot be composed, created or fully written, or
// entry data the file cannot deliver, is logged (when it was composed) and ends the process with
// the fatal stop. A destination cut short (by a full disk or a failed read) whose line the log could
// not take is removed first: nothing would ever find it again. Returns 1 at the terminator, 0 when
// the payload cannot be opened or the table ends without its terminator (nothing is repeated).
int InstallEntries(const InstallHooks *hooks, char *chunk);
