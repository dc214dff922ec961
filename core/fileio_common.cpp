// Parts of the file layer that are the same on every build.
#include "core/fileio.h"

int FileReadAll(FileHandle f, void *buffer, uint32_t count)
{
    return FileRead(f, buffer, count) == count;
}
