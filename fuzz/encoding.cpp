// Encoding detection and conversion into the code page over any bytes, for both code pages.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/codepage.h"
#include "fuzz/check.h"
#include "srt/encoding.h"

using namespace tirelle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const CodePage page : {CodePage(CodePage::Kind::Utf8), CodePage(CodePage::Kind::Gbk)}) {
        srt::DetectEncoding(bytes, page);
        const srt::CodePageText text = srt::ToCodePage(bytes, page);
        // A text left as it was comes back byte for byte.
        if (!text.encoding.converted) FUZZ_CHECK(text.bytes == bytes);
        // What a UTF-8 system keeps is valid UTF-8: read again, it is its own.
        if (page.kind() == CodePage::Kind::Utf8)
            FUZZ_CHECK(!srt::ToCodePage(text.bytes, page).encoding.converted);
    }
    return 0;
}
