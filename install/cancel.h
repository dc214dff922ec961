// The cancel rule in one place: the question that confirms a cancel, and the pump points at which
// the entry being written looks at it. The stored copy (walk.cpp) and the expansion (lzh/streams.cpp,
// through its hook) both run their pump points here.
#pragma once
#include <stdint.h>

// Bytes between two pump points, counted as bytes read by the stored copy and as bytes produced by
// the expansion; the first pump point of an entry comes after its first piece.
enum { PumpInterval = 102400 };

// Runs ask (the question; 1 for Yes) unless a cancel is confirmed already; Yes sets
// CancelRequested. Returns whether the question was asked.
int ConfirmCancel(int (*ask)(void *context), void *context);

// A pump point of the entry being written: count is the entry's running count, *pumpPoint starts
// at 0 for every entry. Once count has passed *pumpPoint, MessagePump runs (the windows stay alive
// and the Cancel button is answered); then 1 when a confirmed cancel ends the entry there (never
// the uninstaller's, EntryUncancellable), otherwise *pumpPoint moves PumpInterval further and 0.
int PumpPointStopsEntry(uint32_t count, uint32_t *pumpPoint);
