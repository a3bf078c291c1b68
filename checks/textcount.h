#pragma once
// The characters of a subtitle text, as the checks count them: the text is decoded from the
// code page, split into lines at CR LF or a lone LF (a lone CR is a character of its line),
// and every character outside a tag counts by the profile's counting. A tag is `<` up to the
// next `>` or `{\` up to the next `}` on the same line; one that does not close on its line is
// no tag, its characters count. Bytes that are no character of the code page count as one
// character each maximal run the decoder replaces.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "checks/profile.h"

struct UConverter;

namespace tirelle::checks {

// Counts are in halves of a character, so that both countings are whole numbers.
struct TextMeasure {
    int lines = 1;
    std::array<std::int64_t, 2> longestLine{};  // per Counting: the longest line's halves
    std::array<std::int64_t, 2> total{};        // per Counting: every line's halves together

    std::int64_t longestLineHalves(Counting counting) const {
        return longestLine[static_cast<int>(counting)];
    }
    std::int64_t totalHalves(Counting counting) const { return total[static_cast<int>(counting)]; }
    bool operator==(const TextMeasure&) const = default;
};

// Holds the decoder of the code page and its buffers: one per thread.
class TextCounter {
public:
    // Throws Error when the code page's decoder cannot be made.
    explicit TextCounter(const CodePage& codePage);
    ~TextCounter();
    TextCounter(const TextCounter&) = delete;
    TextCounter& operator=(const TextCounter&) = delete;

    const CodePage& codePage() const { return codePage_; }

    // Both countings of a text in one pass.
    TextMeasure measure(std::string_view text);

private:
    void decode(std::string_view text);
    void decodeWithConverter(std::string_view text);
    void countLine(std::size_t begin, std::size_t end, TextMeasure& measure) const;

    CodePage codePage_;
    UConverter* converter_ = nullptr;  // owned; GBK only (UTF-8 is decoded in place)
    std::vector<char16_t> utf16_;
    std::vector<char32_t> characters_;
};

}  // namespace tirelle::checks
