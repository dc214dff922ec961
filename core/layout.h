// The installed layout, composed from parameters only: the one rule for a usable title, and every
// file, folder and key the installer writes and the uninstaller reads back. Portable; the installer
// (its pre-check and its walk), sspack and the uninstaller all compose through it, so none of them
// accepts or names what another would not. Each call that composes returns 1 when the whole result
// fit its buffer; a cut result is never used as a destination.
#pragma once
#include <stddef.h>

enum {
    PathSize = 260,                 // every path and title buffer
    MaxPathLength = PathSize - 1,   // the longest path the installer composes and opens: 259 characters
};

extern const char UninstallRoot[];    // the uninstall entries' key under HKEY_LOCAL_MACHINE
extern const char UninstallerName[];  // "UNINSTAL.EXE" in the data folder
extern const char LogName[];          // "INSTALL.LOG" in the data folder
// The data folder's last levels before the title; sized here so that their lengths are constants.
extern const char VendorFolder[13];   // "Quilmark LLC"
extern const char ProductFolder[11];  // "Vistaworks"
enum { UninstallValueCount = 7, UninstallStringIndex = 1 };
// The values the installer writes under the uninstall key, in its order; the uninstaller deletes these.
extern const char *const UninstallValueNames[UninstallValueCount];

enum TitleFault {
    TitleSound = 0,
    TitleEmpty,          // nothing left once the trailing blanks are gone
    TitleDotName,        // "." or "..": the data folder would collapse into the vendor's folder
    TitleTrailingDot,    // Windows drops a trailing dot (or blank) from a path name, not from a key name
    TitleForbiddenByte,  // a control byte or one of \ / : * ? " < > |
    TitlePercentSign,    // % would start a variable reference in UninstallString, which is REG_EXPAND_SZ
    TitleDeviceName,     // CON, PRN, AUX, NUL, COM1..9, LPT1..9 and the like, with or without extension
    TitleShortNameAlias, // 8.3-shaped with a ~ (PROGRA~1): may be another file's or folder's short name
};

// The trimmed title (length characters, trailing blanks already removed by the caller) as one
// name of a path and of a registry key. The first fault found, or TitleSound.
enum TitleFault TitleFaultOf(const char *title, size_t length);

// 1 when one name between backslashes reaches exactly the file it spells: not empty, no trailing
// dot or blank, no "." or "..", no device name. Forbidden bytes are the caller's to check.
int PathNameUsable(const char *name, size_t length);

// 1 for 0x00-0x1F and 0x7F: no name and no line of INSTALL.LOG may hold one.
int ControlByte(unsigned char c);

// 1 for a byte no file or key name may hold: a control byte or one of \ / : * ? " < > |.
int ForbiddenNameByte(unsigned char c);

// Length of text without its trailing blanks.
size_t TrimmedLength(const char *text, size_t length);
// The same for a title field of size bytes, terminated within it or not; TrimTitle cuts in place.
size_t TrimmedTitleLength(const char *title, size_t size);
void TrimTitle(char *title, size_t size);

enum {
    UninstallKeySize = 1024,
    FirstFurtherEntry = 3,      // entries from here on are named FILEnnnn + their Extension field
    FurtherFileDigits = 4,      // FILE0000 and up
    ExtensionCharacters = 15,   // the 16th byte of the Extension field is never used
};

// 1 when the Extension field, read as ComposeEntryFileName reads it, ends a file name that Windows
// keeps as written and that stays one line of INSTALL.LOG in the data folder: no control byte, none
// of \ / : * ? " < > |, no "..", no trailing dot. Blanks only (a file without extension) are usable.
int ExtensionFieldUsable(const char *extensionField);

// Root + "\" + the trimmed title.
int ComposeUninstallKey(const char *title, char *key, size_t size);

// The trimmed title and ".scr": the screen saver's bare file name.
int ComposeScreenSaverFile(const char *title, char *file, size_t size);

// windowsDirectory + a backslash unless it ends with one + screenSaverFile.
int ComposeScreenSaverPath(const char *windowsDirectory, const char *screenSaverFile, char *path, size_t size);

// The data folder below base (the common application-data folder), or, when base is empty, below
// windowsDirectory's All Users\Application Data: ...\Quilmark LLC\Vistaworks\<title>\.
// createDirectory is called for each level in turn (its result does not matter: existing folders
// are used); levels are created only while everything so far fit.
int ComposeDataFolder(const char *base, const char *windowsDirectory, const char *title,
                      void (*createDirectory)(const char *path), char *folder, size_t size);

// dataFolder + "INSTALL.LOG" and dataFolder + "UNINSTAL.EXE".
int ComposeLogPath(const char *dataFolder, char *path, size_t size);
int ComposeUninstallerPath(const char *dataFolder, char *path, size_t size);

// The file name entry number index gets: 0 <title>.scr, 1 <title>.dat, 2 UNINSTAL.EXE, 3 and up
// FILEnnnn + the Extension field's first 15 bytes up to a zero byte, trailing blanks dropped.
int ComposeEntryFileName(int index, const char *title, const char *extensionField, char *name, size_t size);
// Where entry number index goes: 0 screenSaverPath; the others dataFolder + their file name.
int ComposeEntryDestination(int index, const char *title, const char *extensionField, const char *screenSaverPath,
                            const char *dataFolder, char *destination, size_t size);
