#include "base/textmatch.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace tirelle {

namespace {

constexpr unsigned char AsciiUpper(unsigned char byte) {
    return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

// Double-byte letters of GBK with an upper case in GBK: lowercase trail bytes from..to under
// `lead` move to the same lead at trail + shift.
struct GbkCaseRange {
    unsigned char lead;
    unsigned char from;
    unsigned char to;
    int shift;
};
constexpr GbkCaseRange kGbkCaseRanges[] = {
    {0xA2, 0xA1, 0xAA, 0x50},   // small Roman numerals i..x -> I..X
    {0xA3, 0xE1, 0xFA, -0x20},  // full-width a..z -> A..Z
    {0xA6, 0xC1, 0xD8, -0x20},  // Greek alpha..omega -> Alpha..Omega
    {0xA7, 0xD1, 0xF1, -0x30},  // Cyrillic a..ya (yo included) -> A..YA
};

void UpperGbkPair(unsigned char& lead, unsigned char& trail) {
    for (const GbkCaseRange& range : kGbkCaseRanges) {
        if (lead == range.lead && trail >= range.from && trail <= range.to) {
            trail = static_cast<unsigned char>(trail + range.shift);
            return;
        }
    }
}

// The Unicode case mapping of the C.UTF-8 locale, independent of the process's own locale.
locale_t Utf8Locale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return locale;
}

std::size_t Utf8Length(char32_t code) {
    return code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
}

void EncodeUtf8(char32_t code, char* out, std::size_t length) {
    if (length == 2) {
        out[0] = static_cast<char>(0xC0 | (code >> 6));
        out[1] = static_cast<char>(0x80 | (code & 0x3F));
    } else if (length == 3) {
        out[0] = static_cast<char>(0xE0 | (code >> 12));
        out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out[0] = static_cast<char>(0xF0 | (code >> 18));
        out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out[3] = static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Bytes of the UTF-8 sequence a lead byte (C2..F4) begins.
constexpr std::size_t Utf8FullLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
}

// Upper-cases one complete UTF-8 sequence of `length` bytes in place, when its upper case takes
// as many bytes.
void UpperUtf8Char(char* at, std::size_t length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(at[i]) & 0x3Fu; };
    const auto lead = static_cast<unsigned char>(at[0]);
    char32_t code;
    if (length == 2)
        code = (char32_t{lead & 0x1Fu} << 6) | byte(1);
    else if (length == 3)
        code = (char32_t{lead & 0x0Fu} << 12) | (byte(1) << 6) | byte(2);
    else
        code = (char32_t{lead & 0x07u} << 18) | (byte(1) << 12) | (byte(2) << 6) | byte(3);
    const locale_t locale = Utf8Locale();
    if (!locale) return;
    const auto upper = static_cast<char32_t>(towupper_l(static_cast<wint_t>(code), locale));
    if (upper != code && Utf8Length(upper) == length) EncodeUtf8(upper, at, length);
}

}  // namespace

void UpperCaseInPlace(std::string& text, const CodePage& page) {
    const std::size_t size = text.size();
    std::size_t at = 0;
    while (at < size) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            text[at] = static_cast<char>(AsciiUpper(byte));
            ++at;
            continue;
        }
        const std::size_t length = page.charLength(text, at);
        if (page.kind() == CodePage::Kind::Gbk) {
            if (length == 2) {
                auto lead = static_cast<unsigned char>(text[at]);
                auto trail = static_cast<unsigned char>(text[at + 1]);
                UpperGbkPair(lead, trail);
                text[at + 1] = static_cast<char>(trail);
            }
        } else if (length >= 2 && length == Utf8FullLength(byte)) {
            // A sequence cut short is no character: decoding its bytes as a shorter one would
            // make invalid bytes match a letter.
            UpperUtf8Char(&text[at], length);
        }
        at += length;
    }
}

std::string UpperCase(std::string_view text, const CodePage& page) {
    std::string out(text);
    UpperCaseInPlace(out, page);
    return out;
}

bool ContainsAtBoundary(std::string_view text, std::string_view part, const CodePage& page) {
    if (part.empty() || text.empty()) return false;
    // The walk over the characters goes forward only, whatever the number of occurrences.
    std::size_t at = 0;
    for (std::size_t pos = text.find(part); pos != std::string_view::npos;
         pos = text.find(part, pos + 1)) {
        while (at < pos) at += page.charLength(text, at);
        if (at == pos) return true;
    }
    return false;
}

TextMatcher::TextMatcher(std::string_view wanted, MatchKind kind, bool ignoreCase,
                         const CodePage& page)
    : wanted_(wanted), kind_(kind), ignoreCase_(ignoreCase), page_(page) {
    if (ignoreCase_) UpperCaseInPlace(wanted_, page_);
}

bool TextMatcher::matches(std::string_view cell) {
    std::string_view compared = cell;
    if (kind_ == MatchKind::Beginning) {
        if (cell.size() < wanted_.size()) return false;  // compared whole, and shorter
        compared = cell.substr(0, wanted_.size());
    } else if (kind_ == MatchKind::WholeCell && cell.size() != wanted_.size()) {
        return false;
    } else if (kind_ == MatchKind::AnyPart && (cell.empty() || wanted_.empty() ||
                                               cell.size() < wanted_.size())) {
        return false;
    }
    if (ignoreCase_) {
        // A character cut at the end of the compared beginning is upper-cased as in the cell:
        // the bytes that complete it (at most three) are taken along.
        scratch_.assign(kind_ == MatchKind::Beginning ? cell.substr(0, compared.size() + 3)
                                                      : compared);
        UpperCaseInPlace(scratch_, page_);
        compared = std::string_view(scratch_).substr(0, compared.size());
    }
    if (kind_ == MatchKind::AnyPart) return ContainsAtBoundary(compared, wanted_, page_);
    return compared == wanted_;
}

}  // namespace tirelle
