// Stored entries are the file's bytes unchanged. Compression comes with the LZ encoder and
// decoder; until they are part of the build, a compressed entry is reported, never guessed at.
#include "tools/entry_data.h"

#include "tools/tool_error.h"

bool CompressionAvailable()
{
    return false;
}

EntryData MakeEntryData(const Bytes &file, Compression compression)
{
    if (compression != Compression::Stored) throw ToolError("compression not available in this build");
    EntryData data;
    data.stored = file;
    return data;
}

Bytes RestoreEntryData(const Bytes &stored, uint32_t expandedSize)
{
    if (expandedSize == 0) return stored;
    throw ToolError("compressed entry: expansion not available in this build");
}
