#pragma once
// Byte-text helpers shared by the store, the SRT files and the UI.

#include <string>
#include <string_view>

namespace tirelle {

// Removes every byte from 0x00 to 0x20 at both ends; bytes inside stay.
std::string_view TrimView(std::string_view text);
inline std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

// A line that is empty after trimming.
inline bool IsBlank(std::string_view line) { return TrimView(line).empty(); }

}  // namespace tirelle
