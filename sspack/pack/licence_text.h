// The licence as the installer shows it: Windows-1252 text with CR LF line breaks, whatever
// encoding the author's editor saved it in.
#pragma once
#include <string>

#include "sspack/format/byte_io.h"

// The text of the licence file name as stored. UTF-8 (its byte-order mark dropped) and UTF-16
// with a byte-order mark are converted to Windows-1252; any other text is taken as Windows-1252
// already, as the title is. Bare LF become CR LF. Throws ToolError, naming the file, the
// character and its line, for a character Windows-1252 cannot write, and for a text the installer
// cannot show (empty, over 65,535 bytes, holding a NUL).
std::string PrepareLicence(const Bytes &raw, const std::string &name);
