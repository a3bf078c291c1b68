// libFuzzer target: any bytes as the payload of a speech cache file. A payload that reads must
// hold spans as the detector makes them and write back to the same bytes.
#include <cmath>

#include "fuzz/check.h"
#include "speech/cache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tirelle::speech;
    const std::string_view payload(reinterpret_cast<const char*>(data), size);
    const std::optional<SpeechSpans> spans = ParseSpans(payload);
    if (!spans) return 0;
    double before = 0;
    for (const SpeechSpan& span : *spans) {
        FUZZ_CHECK(std::isfinite(span.start) && std::isfinite(span.end));
        FUZZ_CHECK(span.start >= before && span.end > span.start);
        FUZZ_CHECK(span.confidence >= 0 && span.confidence <= 1);
        before = span.end;
    }
    FUZZ_CHECK(SerializeSpans(*spans) == payload);
    return 0;
}
