// Time codes and the number grammar over any text, and the conversions over any double and
// any 32-bit count taken from the same bytes.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "base/timecode.h"

using namespace tirelle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // Every text gives a finite number of seconds.
    const double seconds = TimeToSeconds(text);
    FUZZ_CHECK(std::isfinite(seconds));
    MillisecondsToTime(SecondsToMilliseconds(seconds));

    double number = 0;
    if (ReadNumber(text, number)) FUZZ_CHECK(std::isfinite(number));
    TruncateToInt32(number);

    // The first bytes as a double and as a count.
    double any = 0;
    std::int32_t count = 0;
    std::memcpy(&any, data, std::min(size, sizeof any));
    std::memcpy(&count, data, std::min(size, sizeof count));
    SecondsToMilliseconds(any);
    TruncateToInt32(any);
    const std::string code = MillisecondsToTime(count);
    // A count that is not negative gives a time code that reads back to it exactly.
    if (count >= 0) FUZZ_CHECK(SecondsToMilliseconds(TimeToSeconds(code)) == count);
    // A number text reads back as the number, to its 15 significant digits.
    const std::string written = SecondsToNumberText(any);
    double read = 0;
    FUZZ_CHECK(ReadNumber(written, read) || !std::isfinite(any) ||
               std::fabs(any) > 1.7976931348623e308);
    if (std::isfinite(any) && std::fabs(any) <= 1.7976931348623e308 && any != 0)
        FUZZ_CHECK(std::fabs(read - any) <= std::fabs(any) * 1e-14 || std::fabs(any) < 1e-300);
    return 0;
}
