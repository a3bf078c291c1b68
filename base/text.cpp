#include "base/text.h"

namespace tirelle {

namespace {

// Space and every control byte below it count as white space; bytes above 0x20, the bytes of
// Chinese characters included, never do.
constexpr bool IsTrimmed(char byte) {
    return static_cast<unsigned char>(byte) <= 0x20;
}

}  // namespace

std::string_view TrimView(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsTrimmed(text[first])) ++first;
    while (last > first && IsTrimmed(text[last - 1])) --last;
    return text.substr(first, last - first);
}

}  // namespace tirelle
