#include "checks/textcount.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <string>

#include "base/errors.h"

namespace tirelle::checks {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
// The most bytes ICU decodes at once (its lengths are 32-bit).
constexpr std::size_t kPiece = std::size_t{1} << 30;

bool IcuWide(char32_t c) {
    const int width = u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_EAST_ASIAN_WIDTH);
    return width == U_EA_WIDE || width == U_EA_FULLWIDTH;
}

// Wide or fullwidth by Unicode's EastAsianWidth, as ICU tells it. The answers for the Basic
// Multilingual Plane, where subtitles' characters lie, are asked once and kept as bits.
bool IsWide(char32_t c) {
    static const std::vector<bool> basic = [] {
        std::vector<bool> bits(0x10000);
        for (char32_t b = 0; b < 0x10000; ++b) bits[b] = IcuWide(b);
        return bits;
    }();
    return c < 0x10000 ? basic[c] : IcuWide(c);
}

constexpr std::uint8_t kFirstLead = 0x81, kLastLead = 0xFE;

// The character of every two-byte sequence of the GBK code page (its GB18030 converter), as
// ICU decodes it, indexed by (lead - 0x81) * 256 + trail; 0 where the pair is no character
// of its own. Asked once.
const std::vector<char16_t>& GbkPairs() {
    static const std::vector<char16_t> pairs = [] {
        std::vector<char16_t> table((kLastLead - kFirstLead + 1) * 256u, 0);
        UErrorCode status = U_ZERO_ERROR;
        UConverter* converter = ucnv_open(CodePage(CodePage::Kind::Gbk).converterName(), &status);
        ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        if (U_FAILURE(status)) {  // every text then goes through the converter
            if (converter) ucnv_close(converter);
            return table;
        }
        for (unsigned lead = kFirstLead; lead <= kLastLead; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                const char bytes[] = {static_cast<char>(lead), static_cast<char>(trail)};
                UChar unit[4];
                status = U_ZERO_ERROR;
                if (ucnv_toUChars(converter, unit, 4, bytes, 2, &status) == 1 &&
                    U_SUCCESS(status) && !U_IS_SURROGATE(unit[0]))
                    table[(lead - kFirstLead) * 256u + trail] = unit[0];
            }
        }
        ucnv_close(converter);
        return table;
    }();
    return pairs;
}

constexpr int kWidth = static_cast<int>(Counting::EastAsianWidth);
constexpr int kEvery = static_cast<int>(Counting::EveryCharacter);

}  // namespace

TextCounter::TextCounter(const CodePage& codePage) : codePage_(codePage) {
    if (codePage_.kind() == CodePage::Kind::Utf8) return;
    UErrorCode status = U_ZERO_ERROR;
    converter_ = ucnv_open(codePage_.converterName(), &status);
    if (U_FAILURE(status)) {
        converter_ = nullptr;
        throw Error(std::string("No decoder for ") + codePage_.converterName() + ": " +
                    u_errorName(status));
    }
}

TextCounter::~TextCounter() {
    if (converter_) ucnv_close(converter_);
}

void TextCounter::decode(std::string_view text) {
    // A byte gives at most one character.
    characters_.resize(text.size());
    char32_t* out = characters_.data();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::int64_t length = static_cast<std::int64_t>(text.size());
    if (!converter_) {
        for (std::int64_t i = 0; i < length;) {
            if (bytes[i] < 0x80) {
                *out++ = bytes[i++];
                continue;
            }
            UChar32 c = 0;
            U8_NEXT(bytes, i, length, c);
            *out++ = c < 0 ? kReplacement : static_cast<char32_t>(c);
        }
    } else {
        // The usual GBK text, of ASCII and two-byte characters, from the table; anything else
        // goes through the converter whole.
        const std::vector<char16_t>& pairs = GbkPairs();
        for (std::int64_t i = 0; i < length;) {
            const std::uint8_t lead = bytes[i];
            if (lead < 0x80) {
                *out++ = bytes[i++];
                continue;
            }
            const char16_t c = lead >= kFirstLead && lead <= kLastLead && i + 1 < length
                                   ? pairs[(lead - kFirstLead) * 256u + bytes[i + 1]]
                                   : 0;
            if (c == 0) return decodeWithConverter(text);
            *out++ = c;
            i += 2;
        }
    }
    characters_.resize(static_cast<std::size_t>(out - characters_.data()));
}

void TextCounter::decodeWithConverter(std::string_view text) {
    characters_.clear();
    // Every byte gives at most one UTF-16 unit (a four-byte sequence gives two).
    utf16_.resize(std::min<std::size_t>(text.size(), kPiece) + 1);
    for (std::size_t at = 0; at < text.size();) {
        // ICU counts lengths in 32 bits: a longer text is decoded in pieces that end on a
        // character of the code page.
        std::size_t piece = std::min(text.size() - at, kPiece);
        while (at + piece < text.size() && !codePage_.isCharBoundary(text.substr(at), piece))
            --piece;
        UErrorCode status = U_ZERO_ERROR;
        const int32_t units = ucnv_toUChars(converter_, reinterpret_cast<UChar*>(utf16_.data()),
                                            static_cast<int32_t>(piece + 1), text.data() + at,
                                            static_cast<int32_t>(piece), &status);
        if (U_FAILURE(status))
            throw Error(std::string("Cannot decode a text: ") + u_errorName(status));
        for (int32_t i = 0; i < units;) {
            UChar32 c = 0;
            U16_NEXT(utf16_.data(), i, units, c);
            characters_.push_back(U_IS_SURROGATE(c) ? kReplacement : static_cast<char32_t>(c));
        }
        at += piece;
    }
}

void TextCounter::countLine(std::size_t begin, std::size_t end, TextMeasure& measure) const {
    std::array<std::int64_t, 2> halves{};
    // Once a search for a closing `>` or `}` has failed, none lies further on this line, so
    // no later opening is searched again: the line is walked once.
    bool angleCloses = true, braceCloses = true;
    const auto closing = [&](std::size_t from, char32_t close, bool& closes) {
        if (!closes) return end;
        const auto at = std::find(characters_.begin() + static_cast<std::ptrdiff_t>(from),
                                  characters_.begin() + static_cast<std::ptrdiff_t>(end), close);
        if (at == characters_.begin() + static_cast<std::ptrdiff_t>(end)) closes = false;
        return static_cast<std::size_t>(at - characters_.begin());
    };
    for (std::size_t i = begin; i < end; ++i) {
        const char32_t c = characters_[i];
        if (c == U'<') {
            const std::size_t close = closing(i + 1, U'>', angleCloses);
            if (close < end) {
                i = close;
                continue;
            }
        } else if (c == U'{' && i + 1 < end && characters_[i + 1] == U'\\') {
            const std::size_t close = closing(i + 2, U'}', braceCloses);
            if (close < end) {
                i = close;
                continue;
            }
        }
        halves[kWidth] += IsWide(c) ? 2 : 1;
        halves[kEvery] += 2;
    }
    for (int counting : {kWidth, kEvery}) {
        measure.total[counting] += halves[counting];
        measure.longestLine[counting] = std::max(measure.longestLine[counting], halves[counting]);
    }
}

TextMeasure TextCounter::measure(std::string_view text) {
    decode(text);
    TextMeasure measure;
    measure.lines = 0;
    const std::size_t size = characters_.size();
    for (std::size_t begin = 0;;) {
        const std::size_t lf = static_cast<std::size_t>(
            std::find(characters_.begin() + static_cast<std::ptrdiff_t>(begin), characters_.end(),
                      U'\n') -
            characters_.begin());
        const std::size_t end =
            lf < size && lf > begin && characters_[lf - 1] == U'\r' ? lf - 1 : lf;
        countLine(begin, end, measure);
        ++measure.lines;
        if (lf == size) break;
        begin = lf + 1;
    }
    return measure;
}

}  // namespace tirelle::checks
