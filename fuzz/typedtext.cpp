// The typed-answer integer grammar and the find's byte matcher over any bytes.
//   input: one byte choosing the matcher's settings, then "text<NUL>cell".

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/integertext.h"
#include "base/textmatch.h"
#include "fuzz/check.h"

using namespace tirelle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    ParseInteger(input);
    if (size == 0) return 0;

    const unsigned settings = data[0];
    const std::string_view rest = input.substr(1);
    const std::size_t split = rest.find('\0');
    const std::string_view wanted = rest.substr(0, split);
    const std::string_view cell = split == std::string_view::npos ? std::string_view{} : rest.substr(split + 1);
    const CodePage page((settings & 1) ? CodePage::Kind::Gbk : CodePage::Kind::Utf8);
    const auto kind = static_cast<MatchKind>((settings >> 1) % 3);
    const bool ignoreCase = (settings & 8) != 0;

    // Upper-casing keeps the length in bytes, so positions found in it hold in the original.
    FUZZ_CHECK(UpperCase(cell, page).size() == cell.size());
    TextMatcher matcher(wanted, kind, ignoreCase, page);
    const bool found = matcher.matches(cell);
    // Without regard to case, a match of the plain bytes is a match.
    if (!ignoreCase && kind == MatchKind::WholeCell) FUZZ_CHECK(found == (wanted == cell));
    if (!ignoreCase && kind == MatchKind::AnyPart && found)
        FUZZ_CHECK(cell.find(wanted) != std::string_view::npos);
    return 0;
}
