#pragma once
// Text from one encoding into another with the system's converter (iconv), its handle closed
// with the object.

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace tirelle {

class TextConverter {
public:
    // From `from` into `to`, named as the converter names them ("GB18030", "UTF-16LE",
    // "GBK//TRANSLIT").
    TextConverter(std::string_view to, std::string_view from);
    ~TextConverter();
    TextConverter(const TextConverter&) = delete;
    TextConverter& operator=(const TextConverter&) = delete;

    // False when the converter knows no way between the two; nothing can be converted then.
    bool valid() const;

    // What becomes of a stray: a sequence the converter cannot read, or cannot write in the
    // target. `replacement` is written in its place and the conversion steps over `unit` bytes
    // (one code unit of the source), or over the whole of a sequence the text's end cuts off.
    // The conversion ends at the stray that makes `stopAt` of them (1: at the first).
    struct Strays {
        std::string_view replacement;
        std::size_t unit = 1;
        std::size_t stopAt = std::numeric_limits<std::size_t>::max();
    };
    struct Result {
        std::size_t strays = 0;  // strays met, the one the conversion ended at included
        // Where in the input the conversion ended early (at a stray); npos when it went through.
        std::size_t stoppedAt = std::string_view::npos;
    };

    // Converts the whole of `in` into `out` (which it replaces; null: only counts the strays),
    // ending a shifted state (ISO-2022) at the end. The converter starts afresh on every call.
    // Needs valid().
    Result convert(std::string_view in, std::string* out, const Strays& strays);

private:
    void* handle_;
};

}  // namespace tirelle
