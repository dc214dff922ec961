// The cancel rule, apart from the message box, so both of its answers are tested on the host.
#include "core/state.h"
#include "install/cancel.h"

int ConfirmCancel(int (*ask)(void *context), void *context)
{
    if (CancelRequested) return 0;  // confirmed once; the flag is never cleared
    if (ask(context)) CancelRequested = 1;
    return 1;
}
