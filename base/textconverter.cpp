#include "base/textconverter.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tirelle {

namespace {

const auto kNoConverter = reinterpret_cast<iconv_t>(-1);
constexpr auto kFailed = static_cast<std::size_t>(-1);

}  // namespace

TextConverter::TextConverter(std::string_view to, std::string_view from)
    : handle_(::iconv_open(std::string(to).c_str(), std::string(from).c_str())) {}

TextConverter::~TextConverter() {
    if (valid()) ::iconv_close(static_cast<iconv_t>(handle_));
}

bool TextConverter::valid() const {
    return static_cast<iconv_t>(handle_) != kNoConverter;
}

TextConverter::Result TextConverter::convert(std::string_view in, std::string* out,
                                             const Strays& strays) {
    const auto converter = static_cast<iconv_t>(handle_);
    ::iconv(converter, nullptr, nullptr, nullptr, nullptr);

    // Only counting, the output goes into a scratch buffer that is reused.
    std::string scratch;
    std::string& target = out ? *out : scratch;
    target.clear();
    target.resize(out ? in.size() + in.size() / 2 + 16 : std::size_t{1} << 16);
    std::size_t used = 0;
    const auto write = [&](std::string_view bytes) {
        if (!out || bytes.empty()) return;  // an empty replacement may have no bytes at all
        if (target.size() - used < bytes.size()) target.resize(target.size() * 2 + bytes.size());
        std::memcpy(target.data() + used, bytes.data(), bytes.size());
        used += bytes.size();
    };

    char* input = const_cast<char*>(in.data());
    std::size_t inputLeft = in.size();
    Result result;
    bool flushing = false;
    for (;;) {
        char* output = target.data() + used;
        std::size_t outputLeft = target.size() - used;
        // A last call without input ends a shifted state in the output.
        const std::size_t converted =
            flushing ? ::iconv(converter, nullptr, nullptr, &output, &outputLeft)
                     : ::iconv(converter, &input, &inputLeft, &output, &outputLeft);
        const int error = errno;
        used = out ? static_cast<std::size_t>(output - target.data()) : 0;
        if (converted != kFailed) {
            // glibc counts characters it could only approximate (//TRANSLIT) in the result;
            // that is what such a name asks for, so they pass.
            if (flushing) break;
            flushing = true;
            continue;
        }
        if (error == E2BIG) {
            if (out) target.resize(target.size() * 2);
            continue;
        }
        // EILSEQ: a sequence that cannot be read or written; EINVAL: one cut off by the end.
        ++result.strays;
        if (flushing || result.strays >= strays.stopAt) {
            result.stoppedAt = in.size() - inputLeft;
            break;
        }
        write(strays.replacement);
        const std::size_t skip = error == EINVAL ? inputLeft : std::min(strays.unit, inputLeft);
        input += skip;
        inputLeft -= skip;
    }
    target.resize(used);
    return result;
}

}  // namespace tirelle
