#include "base/integertext.h"

namespace tirelle {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::int32_t> ParseInteger(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ') ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    const std::string_view rest = text.substr(at);

    std::string_view digits;
    bool hex = true;
    if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X'))
        digits = rest.substr(1);
    else if (rest.starts_with("0x") || rest.starts_with("0X"))
        digits = rest.substr(2);
    else {
        digits = rest;
        hex = false;
    }
    if (digits.empty()) return std::nullopt;

    // Accumulated in 64 bits; the limit is checked at every digit, so nothing overflows.
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t value = 0;
    for (const char c : digits) {
        const int digit = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (digit < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        if (value > limit) return std::nullopt;
    }
    // The pattern's two's-complement value, then the sign (a minus before a pattern negates it).
    auto result = static_cast<std::uint32_t>(value);
    if (negative) result = 0u - result;
    return static_cast<std::int32_t>(result);
}

}  // namespace tirelle
