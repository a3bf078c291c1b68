#pragma once
// Bytes out of the system code page into another encoding, for --to and for the program's own
// Chinese messages on a GBK terminal.

#include <string>
#include <string_view>

#include "base/codepage.h"

namespace tirelle::cli {

// True when the converter knows a way from the code page into `encoding`.
bool CanConvert(const CodePage& codePage, const std::string& encoding);

// The bytes of a text in the code page, converted into `encoding`. Nothing is replaced or
// dropped: a character the target cannot hold, or bytes that are not text in the code page,
// throw Error naming the line they are on, so no file is written with characters lost.
std::string ConvertFromCodePage(std::string_view bytes, const CodePage& codePage,
                                const std::string& encoding);

// A message written in this source's UTF-8, in the code page for the terminal (unchanged on a
// UTF-8 system; what GBK cannot hold becomes "?").
std::string ForTerminal(std::string_view utf8, const CodePage& codePage);

}  // namespace tirelle::cli
