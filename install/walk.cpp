// The install walk. Between entries the payload handle stands behind the record just read; an
// entry's data are read through the same handle elsewhere in the file, so the walk notes the table
// position and returns to it.
#include "core/fatal.h"
#include "core/state.h"
#include "core/text.h"
#include "install/cancel.h"
#include "install/walk.h"

int EntryDestination(int index, const PayloadEntry *entry, char *destination, size_t size)
{
    return ComposeEntryDestination(index, ScreenSaverTitle, entry->Extension, ScreenSaverPath, DataFolder,
                                   destination, size);
}

int CopyStoredEntry(FileHandle payload, const PayloadEntry *entry, const char *destination, char *chunk)
{
    if (entry->DataOffset > 0x7FFFFFFF ||
        FileSeek(payload, (int32_t)entry->DataOffset, SeekSet) != (int32_t)entry->DataOffset)
        return EntryUnreadable;
    FileHandle out = FileCreate(destination);
    if (out == FileError) return EntryWriteFailed;

    uint32_t total = 0;
    uint32_t pumpPoint = 0;
    int result = EntryWritten;
    while (total < entry->StoredSize) {
        uint32_t want = entry->StoredSize - total;
        if (want > (uint32_t)ChunkSize) want = ChunkSize;
        uint32_t got = FileRead(payload, chunk, want);
        if (got == 0) {  // the file ends before the entry does
            result = EntryReadFailed;
            break;
        }
        total += got;
        if (FileWrite(out, chunk, got) != got) {
            result = EntryCutShort;
            break;
        }
        if (PumpPointStopsEntry(total, &pumpPoint)) {
            if (total < entry->StoredSize) result = EntryStopped;
            break;
        }
    }
    FileClose(out);
    return result;
}

static void StopOnFailure(int result, const char *destination)
{
    if (result == EntryWriteFailed || result == EntryCutShort) FatalStop(FatalShortWrite, destination);
    if (result == EntryReadFailed || result == EntryUnreadable) FatalStop(FatalReadFailure, destination);
}

int InstallEntries(const InstallHooks *hooks, char *chunk)
{
    FileHandle payload = OpenPayloadBlock();
    if (payload == FileError) return 0;
    PayloadEntry entry;
    int record = SkipToPayloadTable(payload) ? ReadPayloadEntry(payload, &entry) : PayloadDamaged;

    // The terminator ends the walk, never EntryCount: authoring tools have written wrong counts.
    for (int index = 0; record == PayloadNext; index++) {
        EntryUncancellable = 0;
        char destination[PathSize];
        if (!EntryDestination(index, &entry, destination, sizeof destination)) {
            FileClose(payload);
            FatalStop(FatalShortWrite, destination);  // a cut path would name another file
        }
        // The uninstaller and its registration are written whole even after a cancel, so a
        // cancelled installation can always be removed again.
        if (index == 2) EntryUncancellable = 1;
        int32_t tablePosition = FileSeek(payload, 0, SeekCur);
        // The line goes before anything of the entry is written: the process may end inside it (a
        // kill, or the extraction's own stop on a short write), and the uninstaller finds a part
        // only by its line. Nothing else is logged in between, so the log reads the same.
        int logged = hooks->logDestination(destination);
        int result;
        if (entry.ExpandedSize) {
            result = hooks->extractEntry(payload, &entry, destination, logged);
        } else {
            result = CopyStoredEntry(payload, &entry, destination, chunk);
            // A part without its line (cut by the disk or by the source alike) would be found by
            // nothing: it goes before the fatal stop.
            if (!logged && (result == EntryCutShort || result == EntryReadFailed)) FileRemove(destination);
        }
        if (result != EntryWritten && result != EntryStopped) FileClose(payload);
        StopOnFailure(result, destination);
        // Registered only once its program is whole: an entry naming an uninstaller that a process
        // ended before or inside could never be used.
        if (index == 2) hooks->writeUninstallValues(destination);

        if (tablePosition < 0 || FileSeek(payload, tablePosition, SeekSet) != tablePosition) {
            record = PayloadDamaged;
            break;
        }
        record = ReadPayloadEntry(payload, &entry);
        if (!CancelRequested && index >= 3) CopyText(LastExtraFile, sizeof LastExtraFile, destination);
    }
    FileClose(payload);
    return record == PayloadEnd;
}
