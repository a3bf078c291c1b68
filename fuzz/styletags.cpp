// The styling tags of a caption over any text: the runs never hold an empty piece, an untagged
// text comes back whole, a tagged one only loses bytes (the tags), and every colour has the
// shape the caption's drawing trusts.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "srt/styletags.h"

using namespace tirelle;

namespace {

bool ColourShaped(const std::string& color) {
    if (color.empty()) return true;
    if (color[0] == '#') {
        if (color.size() != 4 && color.size() != 7) return false;
        for (std::size_t i = 1; i < color.size(); ++i)
            if (!std::isxdigit(static_cast<unsigned char>(color[i]))) return false;
        return true;
    }
    for (const char c : color)
        if (!std::isalpha(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const srt::StyledText styled = srt::SplitStyleTags(text);
    std::string joined;
    for (const srt::StyledRun& run : styled.runs) {
        FUZZ_CHECK(!run.text.empty());
        FUZZ_CHECK(ColourShaped(run.color));
        joined += run.text;
    }
    if (!styled.tagged) {
        FUZZ_CHECK(joined == text);
    } else {
        // What is left is the text with pieces taken out, in order.
        FUZZ_CHECK(joined.size() < text.size());
        std::size_t at = 0;
        for (const char c : joined) {
            at = text.find(c, at);
            FUZZ_CHECK(at != std::string_view::npos);
            ++at;
        }
    }
    return 0;
}
