#include "base/utf8.h"

namespace tirelle {

Utf8Sequence FirstUtf8Sequence(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) return {1, true};
    // The allowed range of the second byte narrows for E0, ED, F0 and F4.
    std::size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {1, false};
    }
    std::size_t k = 1;
    for (; k < length && k < text.size(); ++k) {
        const auto next = static_cast<unsigned char>(text[k]);
        if (k == 1 ? next < low || next > high : next < 0x80 || next > 0xBF) break;
    }
    return {k, k == length};
}

std::size_t ValidUtf8Prefix(std::string_view text) {
    std::size_t valid = text.size();
    ForEachNonAscii(text, [&](std::size_t at, std::size_t, bool wellFormed) {
        if (!wellFormed) valid = at;
        return wellFormed;
    });
    return valid;
}

std::size_t ReplaceUtf8Strays(std::string_view text, std::string_view replacement,
                              std::string& out) {
    out.clear();
    out.reserve(text.size() + 16);
    std::size_t copied = 0;
    std::size_t replaced = 0;
    ForEachNonAscii(text, [&](std::size_t at, std::size_t length, bool wellFormed) {
        if (wellFormed) return true;
        out.append(text.substr(copied, at - copied)).append(replacement);
        copied = at + length;
        ++replaced;
        return true;
    });
    out.append(text.substr(copied));
    return replaced;
}

}  // namespace tirelle
