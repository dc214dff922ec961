// The installer's own pre-check: the places it would write to come from the system as the
// installation will ask for them, and a refusal is told before any window of the sequence.
#include <windows.h>
#include "core/fatal.h"
#include "core/fileio.h"
#include "core/installer_texts.h"
#include "core/layout.h"  // PathSize
#include "core/system_win.h"
#include "payload/block.h"
#include "payload/check_payload.h"

// 1 when the own path is longer than the reader can take (it has 255 characters and a terminator);
// a longer buffer tells a long path from a missing one.
static int OwnPathTooLong(void)
{
    static char own[OwnPathLimit + 1];
    DWORD n = GetModuleFileNameA(NULL, own, sizeof own);
    return n >= OwnPathSize;
}

int CheckPayload(void)
{
    char windows[PathSize];
    char applicationData[PathSize];
    enum PayloadFault fault = PayloadUnreachable;
    FileHandle own = OwnFile();  // held since the start: the bytes judged here are the ones installed
    if (own != FileError) {
        // Both as the data folder's creation will find them; empty when the system has none.
        QueryWindowsDirectory(windows, sizeof windows);
        QueryCommonAppData(applicationData, sizeof applicationData);
        fault = InspectOpenPayload(own, OwnOptionalHeader, windows, applicationData);
    } else if (OwnPathTooLong()) {
        fault = PayloadOwnPathTooLong;
    }
    if (fault == PayloadSound) return 1;
    char text[512];
    ComposeFatalText(FatalKindOfFault(fault), NULL, text, sizeof text);
    ShowFatalMessage(text);
    return 0;
}
