// After a normal end of the progress dialog: the Flash Player check, its messages, and in the
// interactive mode the notice and the start of the installed screen saver.
#pragma once
#include <windows.h>
#include <stdint.h>

extern int32_t InstalledFlashVersion;  // -1 until the player's version string was read
extern int32_t RequiredFlashVersion;   // -1 until the movie's fourth byte was read

void CheckFlashPlayer(void);
// The decision and its messages, then the finishing steps or the end; destroys the backdrop.
void FinishAfterInstallation(HWND backdrop, const char *installCaption);
// The notice, the full and the short path of the screen saver and its start; destroys the backdrop.
void FinishInstallation(HWND backdrop);
