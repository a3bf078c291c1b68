// SRT reading over any bytes: splitting into lines under both code pages, walking the lines as
// blocks and splitting time lines. The first byte picks the code page; the rest is the file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "srt/srtfile.h"
#include "base/text.h"

using namespace tirelle;

namespace {

bool IsTrimmed(std::string_view text) {
    return TrimView(text).size() == text.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const CodePage codePage((data[0] & 1) ? CodePage::Kind::Gbk : CodePage::Kind::Utf8);
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    const srt::LineList lines = srt::SplitTextLines(bytes, codePage);
    std::size_t total = 0;
    for (const std::string& line : lines) {
        total += line.size();
        FUZZ_CHECK(line.find('\0') == std::string::npos);
        // Outside GBK no CR or LF is ever part of a character, so none stays inside a line.
        if (codePage.kind() == CodePage::Kind::Utf8)
            FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
    }
    FUZZ_CHECK(total <= bytes.size());

    std::size_t blocks = 0;
    srt::ReadSrtBlocks(
        lines, [&](const std::string& start, const std::string& end, const std::string& text) {
            ++blocks;
            FUZZ_CHECK(IsTrimmed(start) && IsTrimmed(end) && IsTrimmed(text));
            // Text lines are joined with CR LF, where the file may have had a lone CR or LF.
            FUZZ_CHECK(start.size() + end.size() + text.size() <= 2 * bytes.size());
        });
    // A block takes a number line and a time line at least.
    FUZZ_CHECK(blocks * 2 <= lines.size());

    std::string start, end;
    for (const std::string& line : lines) {
        srt::SplitTimeLine(line, start, end);
        FUZZ_CHECK(IsTrimmed(start) && IsTrimmed(end));
        FUZZ_CHECK(start.size() + end.size() <= line.size());
    }
    return 0;
}
