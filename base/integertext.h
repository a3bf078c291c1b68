#pragma once
// Reading a typed text as a 32-bit integer, the way the row lines answer is read.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tirelle {

// Any number of leading spaces, an optional + or - sign, then either decimal digits whose value
// lies in the signed 32-bit range, or hexadecimal digits after "$", "x", "X", "0x" or "0X" whose
// value fits in 32 bits, taken as a two's-complement pattern ("$FFFFFFFF" is -1). Nothing may
// follow, not even a space. Anything else, the empty text included, gives nothing.
std::optional<std::int32_t> ParseInteger(std::string_view text);

}  // namespace tirelle
