// The installed layout, composed from parameters only: the one rule for a usable title, and the
// names the installer writes and the uninstaller reads back. Portable; the installer's pre-check,
// sspack and the uninstaller all ask the same rule, so none of them accepts what another refuses.
#pragma once
#include <stddef.h>

extern const char UninstallRoot[];    // the uninstall entries' key under HKEY_LOCAL_MACHINE
extern const char UninstallerName[];  // "UNINSTAL.EXE" in the data folder
extern const char LogName[];          // "INSTALL.LOG" in the data folder
enum { UninstallValueCount = 7 };
// The values the installer writes under the uninstall key, in its order; the uninstaller deletes these.
extern const char *const UninstallValueNames[UninstallValueCount];

enum TitleFault {
    TitleSound = 0,
    TitleEmpty,          // nothing left once the trailing blanks are gone
    TitleDotName,        // "." or "..": the data folder would collapse into the vendor's folder
    TitleTrailingDot,    // Windows drops a trailing dot (or blank) from a path name, not from a key name
    TitleForbiddenByte,  // a control byte or one of \ / : * ? " < > |
    TitleDeviceName,     // CON, PRN, AUX, NUL, COM1..9, LPT1..9 and the like, with or without extension
};

// The trimmed title (length characters, trailing blanks already removed by the caller) as one
// name of a path and of a registry key. The first fault found, or TitleSound.
enum TitleFault TitleFaultOf(const char *title, size_t length);

// 1 when one name between backslashes reaches exactly the file it spells: not empty, no trailing
// dot or blank, no "." or "..", no device name. Forbidden bytes are the caller's to check.
int PathNameUsable(const char *name, size_t length);

// Length of text without its trailing blanks.
size_t TrimmedLength(const char *text, size_t length);

// Root + "\" + title. 0 when it does not fit.
int ComposeUninstallKey(const char *title, char *key, size_t size);
