#pragma once
// Test texts in other encodings, made by the system's converter from UTF-8.

#include <stdexcept>
#include <string>
#include <string_view>

#include "base/textconverter.h"

namespace tirelle::testing {

// The UTF-8 text in `encoding` ("GBK", "BIG5", "UTF-16LE", ...), without a byte order mark.
inline std::string Encoded(std::string_view utf8, const char* encoding) {
    TextConverter converter(encoding, "UTF-8");
    if (!converter.valid()) throw std::runtime_error(std::string("no converter for ") + encoding);
    std::string out;
    if (converter.convert(utf8, &out, {{}, 1, 1}).stoppedAt != std::string_view::npos)
        throw std::runtime_error(std::string("cannot write the text in ") + encoding);
    return out;
}

}  // namespace tirelle::testing
