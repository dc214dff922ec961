// Test hooks of the host build's file layer and seams: the portable code runs unchanged over them.
#pragma once
#include <stdint.h>

struct HostFileHooks {
    uint32_t reads;          // calls of FileRead that asked for at least one byte
    uint32_t writes;         // calls of FileWrite
    uint64_t bytesWritten;   // bytes taken by FileWrite
    int64_t readBudget;      // bytes FileRead may still deliver in all; -1 = unlimited
    int64_t writeBudget;     // bytes FileWrite may still take in all; -1 = unlimited (a full disk)
};
extern HostFileHooks HostFiles;
void ResetHostFileHooks(void);  // counters 0, budgets unlimited

extern const char *HostOwnPath;          // what OwnFilePath reports on the host; null = none
// Lets go of the held own file and holds path instead (null: none), as a new process would.
void HostHoldOwnFile(const char *path);
extern void (*HostMessagePumpHook)(void);  // what MessagePump runs on the host; null = nothing
