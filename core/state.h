// Everything the installer's parts share, in one place: open this first.
// Each value is set once by the part named beside it and only read elsewhere.
#pragma once
#include <stdint.h>
#include "core/layout.h"  // PathSize

struct HWND__;
typedef struct HWND__ *HWND;

// InstallMode: InteractiveMode = interactive installation, anything else = quiet. A constant in the
// program's data, fixed per executable at build time (installer.exe, and installer-quiet.exe with
// QuietMode). It lives in app/install_mode.cpp and is read only there, through the four decisions
// below: that file tells the whole difference between the two installers.
enum { QuietMode = 0, InteractiveMode = 2 };
int ShowsInformationMessage(void);  // the sequence's information message
int ShowsProgress(void);            // the progress dialog made visible
int AsksBeforeReplacing(void);      // the question before an existing screen saver is replaced
int ShowsFinish(void);              // the finished message, the notice and the start of the screen saver

extern char ScreenSaverTitle[PathSize];  // the payload's Title field: read on backdrop creation, trimmed by the sequence
extern char ScreenSaverFile[PathSize];   // trimmed title + ".scr" (sequence); made the full path just before the start
extern char ScreenSaverPath[PathSize];   // Windows directory + ScreenSaverFile (registration, before any entry)
extern char DataFolder[PathSize];        // ...\Quilmark LLC\Vistaworks\<title>\ (registration, before any entry)
extern char LastExtraFile[PathSize];     // last finished entry of index 3 or more before a cancel (worker)
extern int CancelRequested;              // set by the cancel question's Yes; never cleared
extern int EntryUncancellable;           // set for the uninstaller's entry alone (worker)
extern HWND ProgressDialog;              // the progress dialog, stored on its initialisation

// Drains the thread's messages so the dialogs stay alive during long work; run at the pump points
// (install/cancel.h). The installer's is in the install worker; the host build supplies a hook for tests.
void MessagePump(void);

