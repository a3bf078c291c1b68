#pragma once
// UTF-8 as bytes: which sequences are well-formed characters and which are stray, with a stray
// sequence counted as Unicode counts them for U+FFFD (the longest start of a well-formed
// sequence, or else one byte), so a character cut off at the end of a text is one stray.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tirelle {

// The sequence at the start of a text that is not empty: a well-formed character (ASCII
// included; no overlong forms, no surrogates, nothing above U+10FFFF) or a stray sequence.
struct Utf8Sequence {
    std::size_t length = 0;
    bool wellFormed = false;
};
Utf8Sequence FirstUtf8Sequence(std::string_view text);

// Calls visit(offset, length, wellFormed) for every sequence above ASCII, in order (runs of
// ASCII are skipped eight bytes at a time), until visit returns false.
template <class Visit>
void ForEachNonAscii(std::string_view text, Visit visit) {
    std::size_t at = 0;
    const std::size_t size = text.size();
    while (at < size) {
        while (size - at >= 8) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + at, sizeof word);
            if (word & 0x8080808080808080ull) break;
            at += 8;
        }
        if (at == size) break;
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            ++at;
            continue;
        }
        const Utf8Sequence sequence = FirstUtf8Sequence(text.substr(at));
        if (!visit(at, sequence.length, sequence.wellFormed)) return;
        at += sequence.length;
    }
}

// The length of the longest start of the text that is valid UTF-8.
std::size_t ValidUtf8Prefix(std::string_view text);
inline bool IsValidUtf8(std::string_view text) {
    return ValidUtf8Prefix(text) == text.size();
}

// The text into `out` with every stray sequence replaced by `replacement`; returns how many
// were replaced.
std::size_t ReplaceUtf8Strays(std::string_view text, std::string_view replacement,
                              std::string& out);

}  // namespace tirelle
