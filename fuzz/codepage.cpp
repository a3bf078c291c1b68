// The code page helpers over any bytes: locale names, and walking a text character by
// character in both code pages.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz/check.h"
#include "base/codepage.h"

using namespace tirelle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CodePage::fromLocaleName(text);

    for (const CodePage codePage :
         {CodePage(CodePage::Kind::Utf8), CodePage(CodePage::Kind::Gbk)}) {
        // Characters follow each other without gap or overlap and never run past the end.
        std::vector<bool> boundary(size + 1, false);
        std::size_t pos = 0;
        while (pos < size) {
            boundary[pos] = true;
            const std::size_t length = codePage.charLength(text, pos);
            FUZZ_CHECK(length >= 1 && length <= size - pos);
            pos += length;
        }
        FUZZ_CHECK(pos == size);
        FUZZ_CHECK(codePage.charLength(text, size) == 0);
        // The boundary test agrees with the walk (it walks from the start itself, so only
        // short texts are checked whole).
        if (size <= 512) {
            for (std::size_t i = 0; i < size; ++i)
                FUZZ_CHECK(codePage.isCharBoundary(text, i) == boundary[i]);
        }
    }
    return 0;
}
