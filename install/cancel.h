// The cancel question's rule: asked until it is answered Yes once, never after.
#pragma once

// Runs ask (the question; 1 for Yes) unless a cancel is confirmed already; Yes sets
// CancelRequested. Returns whether the question was asked.
int ConfirmCancel(int (*ask)(void *context), void *context);
