// The cancel rule, apart from the message box, so both of its answers and the pump schedule are
// tested on the host.
#include <stdint.h>
#include "core/state.h"
#include "install/cancel.h"

int ConfirmCancel(int (*ask)(void *context), void *context)
{
    if (CancelRequested) return 0;  // confirmed once; the flag is never cleared
    if (ask(context)) CancelRequested = 1;
    return 1;
}

int PumpPointStopsEntry(uint32_t count, uint32_t *pumpPoint)
{
    if (count <= *pumpPoint) return 0;
    MessagePump();
    if (CancelRequested && !EntryUncancellable) return 1;
    // Near the top of the count the next point stays there instead of wrapping to a small one that
    // would pump after every piece.
    *pumpPoint = *pumpPoint <= UINT32_MAX - PumpInterval ? *pumpPoint + PumpInterval : UINT32_MAX;
    return 0;
}
