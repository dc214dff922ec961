// The licence text goes from the payload block into a zero-filled global block one byte longer than
// the text, so a text without terminator (or with a NUL inside) is shown up to its first NUL.
#include <windows.h>
#include "app/dialogs.h"
#include "payload/block.h"
#include "payload/licence.h"

static int RunLicenceDialog(HINSTANCE instance, FileHandle block, uint32_t length)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 1);
    if (!memory) return 1;
    char *text = (char *)GlobalLock(memory);
    if (!text) {
        GlobalFree(memory);
        return 1;
    }
    int result = 1;
    if (FileReadAll(block, text, length)) {
        result = DialogBoxParamA(instance, MAKEINTRESOURCEA(LicenceDialogId), NULL, LicenceDialogProc,
                                 (LPARAM)text) == IDOK;
    }
    GlobalUnlock(memory);
    GlobalFree(memory);
    return result;
}

int ShowLicence(HINSTANCE instance)
{
    FileHandle block = OpenPayloadBlock();
    if (block == FileError) return 1;
    uint8_t word[LicenceLengthSize];
    int result = 1;
    if (FileReadAll(block, word, sizeof word)) {
        uint32_t length = (uint32_t)word[0] | (uint32_t)word[1] << 8;
        if (length) result = RunLicenceDialog(instance, block, length);
    }
    FileClose(block);
    return result;
}
