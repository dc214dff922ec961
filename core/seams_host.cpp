// Stand-ins on the host for what the installer's GUI parts define on Windows.
#include "core/host_hooks.h"
#include "core/state.h"

void (*HostMessagePumpHook)(void);

void MessagePump(void)
{
    if (HostMessagePumpHook) HostMessagePumpHook();
}
