// Storage for the shared values declared in state.h (InstallMode lives in app/install_mode.cpp).
#include "core/state.h"

char ScreenSaverTitle[PathSize];
char ScreenSaverFile[PathSize];
char ScreenSaverPath[PathSize];
char DataFolder[PathSize];
char LastExtraFile[PathSize];
int CancelRequested;
int EntryUncancellable;
HWND ProgressDialog;
