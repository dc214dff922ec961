// Names as the installer forms them: the title's rules, the Extension field, the role of each entry
// and its destination. Titles are kept in Windows-1252, the installer's ANSI code page; the host's
// command line and terminal speak UTF-8.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include "core/layout.h"

enum { MaxTitleLength = PathSize - 1, MaxExtensionLength = ExtensionCharacters };

// False when the text is not UTF-8 or holds a character Windows-1252 cannot write.
bool Utf8ToCp1252(const std::string &utf8, std::string *ansi);
// One UTF-8 sequence at i: its length, or 0 when it is malformed (cut, overlong, a stray byte).
int DecodeUtf8(const std::string &utf8, size_t i, uint32_t *codePoint);
// The Windows-1252 byte of a character; false when it has none.
bool CodePointToCp1252(uint32_t codePoint, uint8_t *byte);
uint32_t Cp1252ToCodePoint(uint8_t byte);
// A character as messages name it: "'\\' (U+005C)", or "U+0009" for a control character.
std::string CharacterName(uint32_t codePoint);
std::string Cp1252ToUtf8(const std::string &ansi);
// Windows-1252 text for a terminal: UTF-8, with control bytes written as \xNN so a damaged title
// cannot drive the terminal.
std::string PrintableText(const std::string &ansi);
// True when the text is well-formed UTF-8 (whether or not Windows-1252 can write it).
bool LooksLikeUtf8(const std::string &text);

std::string TrimTrailingBlanks(const std::string &text);

// Why the installer could not use this title (Windows-1252, as stored), or "" when it can.
std::string TitleProblem(const std::string &ansiTitle);

// The 16-byte Extension field for a file: its extension in upper case with the dot, blank-padded;
// blanks only for a file without extension. Throws ToolError for one the installer cannot use
// (longer than 15 characters, with characters not allowed in file names, or refused by the layout's
// extension rule, as "movie. " is: its extension ". " would end the name in a dot).
std::string ExtensionField(const std::string &path);

// "screen saver", "data file", "uninstaller", "further file".
std::string EntryRole(size_t index);

// The installer's destination of an entry, as "Windows\<title>.scr", "DataFolder\<title>.dat",
// "DataFolder\UNINSTAL.EXE" or "DataFolder\FILE0000.SWF"; title trimmed, extension as stored.
std::string DestinationName(size_t index, const std::string &trimmedTitle, const char *extensionField);
// A typical system's Windows directory and common application-data folder: what the tool measures
// the installer's paths with, since it cannot know the system the installer will run on.
extern const char TypicalWindows[];
extern const char TypicalApplicationData[];

// The destination on a typical system (C:\WINDOWS, C:\ProgramData); the installer refuses a
// payload whose paths exceed 259 characters on the system it runs on, which the tool cannot know.
std::string TypicalDestination(size_t index, const std::string &trimmedTitle, const char *extensionField);
// The first path the installer would write that is over 259 characters on a typical system, as
// "entry 1 (data file) would be C:\ProgramData\...\<title>.dat, 260 characters", or "" when every
// path fits; the entries by their 16-byte Extension fields. *longestTitle receives the most
// characters a title may have for every path to fit with these entries.
std::string TooLongOnTypicalSystem(const std::string &trimmedTitle, const std::vector<std::string> &extensionFields,
                                   size_t *longestTitle);
// The file name part of it alone.
std::string DestinationFileName(size_t index, const std::string &trimmedTitle, const char *extensionField);
